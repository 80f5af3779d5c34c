# Read by cpack for each generator. The archives take what `cmake --install`
# installs; the .deb takes the license under Debian's name for it,
# "copyright", and a changelog, as one package of those components.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENTS_ALL program debian)
endif()
