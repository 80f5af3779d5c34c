#include "run/arguments.h"

Asked what_is_asked(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--version") return Asked::kVersion;
#ifdef _WIN32
    if (argument == "/?") return Asked::kHelp;
#endif
    if (argument == "--help" || argument == "-h") return Asked::kHelp;
  }
  return Asked::kRun;
}

std::string ignored_arguments(int argc, const char* const* argv) {
  std::string named;
  for (int i = 1; i < argc; ++i) named += std::string(named.empty() ? "" : ", ") + "„" + argv[i] + "“";
  if (named.empty()) return "";
  return std::string("Hinweis: ") + (argc == 2 ? "unbekanntes Argument " : "unbekannte Argumente ") + named +
         " ignoriert; kasor-max liest immer KASOR.dat im Arbeitsordner (kasor-max --help zeigt mehr).\n";
}

std::string help_text(std::string_view version) {
  return "kasor-max " + std::string(version) +
         ": der Vektor mit dem größten Betrag je Knoten\n"
         "\n"
         "Aufruf: kasor-max [--help | --version]\n"
         "\n"
         "Liest KASOR.dat aus dem Arbeitsordner (dem Ordner, in dem das Programm\n"
         "gestartet wird) und schreibt KASOR_max.dat in denselben Ordner: für jeden\n"
         "Knoten den Vektor mit dem größten Betrag über alle Zeitschritte. Argumente\n"
         "sind nicht nötig; andere als die folgenden werden ignoriert.\n"
         "\n"
         "  -h, --help   diese Hilfe zeigen (unter Windows auch /?)\n"
         "  --version    die Version zeigen\n"
         "\n"
         "Rückgabewerte:\n"
         "  0  Ergebnis geschrieben, KASOR.dat vollständig und fehlerfrei gelesen\n"
         "  1  KASOR.dat nicht gefunden oder nicht zu öffnen; nichts geschrieben\n"
         "  2  KASOR_max.dat nicht geschrieben; eine vorhandene bleibt, wie sie war\n"
         "  3  KASOR.dat ohne Zeile ND mit 1 bis 2.200.000 Knoten, oder nicht lesbar;\n"
         "     nichts geschrieben\n"
         "  4  Ergebnis geschrieben, aber KASOR.dat beschädigt, mit Werten zu viel oder NaN,\n"
         "     ohne Zeitschritt, am Ende abgeschnitten oder beim Lesen verändert;\n"
         "     Warnungen nennen die Stellen\n"
         "  5  zu wenig Speicher; nichts geschrieben\n"
#ifndef _WIN32
         "  130  mit Strg+C abgebrochen, bevor das Ergebnis an seinem Platz war; eine\n"
         "       vorhandene KASOR_max.dat bleibt, wie sie war\n"
#endif
      ;
}
