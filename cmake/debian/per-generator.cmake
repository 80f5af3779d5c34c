# Read by cpack for each generator. Every time stamp in a package is the
# commit's, so that two builds of one commit give the same bytes.
if(CPACK_KASOR_SOURCE_DATE_EPOCH)
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_KASOR_SOURCE_DATE_EPOCH}")
endif()
# The archives take what `cmake --install` installs; the .deb takes the
# license under Debian's name for it, "copyright", a changelog and lintian's
# note, as one package of those components.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL program debian)
endif()
