# Run by CPack after each generator has made its package: copies it into the
# folder that holds the release packages and nothing else. CPack's own folder
# (the package preset's) keeps its "_CPack_Packages" staging beside them.
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION "${CPACK_KASOR_PACKAGES}")
