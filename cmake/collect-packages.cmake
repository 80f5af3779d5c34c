# Run by CPack after each generator has made its package: copies it into the
# folder that holds the release packages and nothing else, and writes
# SHA256SUMS beside them (as `sha256sum -c` reads it) for all that are there.
# CPack's own folder (the package preset's) keeps its "_CPack_Packages"
# staging beside them.
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION "${CPACK_KASOR_PACKAGES}")
file(GLOB packages RELATIVE "${CPACK_KASOR_PACKAGES}" "${CPACK_KASOR_PACKAGES}/*.tar.gz"
     "${CPACK_KASOR_PACKAGES}/*.deb" "${CPACK_KASOR_PACKAGES}/*.zip")
list(SORT packages)
set(sums "")
foreach(package IN LISTS packages)
  file(SHA256 "${CPACK_KASOR_PACKAGES}/${package}" sum)
  string(APPEND sums "${sum}  ${package}\n")
endforeach()
file(WRITE "${CPACK_KASOR_PACKAGES}/SHA256SUMS" "${sums}")
