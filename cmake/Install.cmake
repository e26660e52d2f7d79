# Installing and packaging. The programs, the profile editor library and the
# codec plug-ins find each other beside the program, so they all go into one
# folder, <libdir>/moxel, with links to the programs in <bindir>. An
# installed program cannot write there and keeps its settings, profiles and
# queue under $XDG_CONFIG_HOME/moxel instead. The bundled profiles go to
# samples/ in that folder, where moxel-cli takes its default and from where
# the desktop program fills a new profile folder on its first start.
include(GNUInstallDirs)

set(MOXEL_INSTALL_PKGDIR ${CMAKE_INSTALL_LIBDIR}/moxel)
set(MOXEL_INSTALL_PROFILEDIR ${MOXEL_INSTALL_PKGDIR}/samples)

# Every target of kind type made in folder dir and the folders below it,
# leaving out the tests and benchmarks.
function(moxel_targets_of_type dir type out)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL type)
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(children DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(child IN LISTS children)
    if(NOT child MATCHES "^${PROJECT_SOURCE_DIR}/(tests|bench)(/|$)")
      moxel_targets_of_type(${child} ${type} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Programs, with a relative link in <bindir> for each.
file(RELATIVE_PATH _moxel_bin_to_pkg /p/${CMAKE_INSTALL_BINDIR} /p/${MOXEL_INSTALL_PKGDIR})
foreach(program moxel moxel-cli kmfinfo kmf-receive)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${MOXEL_INSTALL_PKGDIR} COMPONENT moxel)
    install(CODE "
      set(_bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(MAKE_DIRECTORY \"\${_bindir}\")
      file(CREATE_LINK \"${_moxel_bin_to_pkg}/${program}\" \"\${_bindir}/${program}\" SYMBOLIC)
      message(STATUS \"Installing link: \${_bindir}/${program}\")" COMPONENT moxel)
  endif()
endforeach()

# The plug-in loader's trial program: beside the programs and the profile
# editor library that start it, with no link in <bindir> (no one runs it by
# hand).
if(TARGET kmf-plugin-probe)
  install(TARGETS kmf-plugin-probe RUNTIME DESTINATION ${MOXEL_INSTALL_PKGDIR} COMPONENT moxel)
endif()

# The profile editor library and the codec plug-ins: the project's only
# shared libraries and loadable modules.
moxel_targets_of_type(${PROJECT_SOURCE_DIR} SHARED_LIBRARY _moxel_editor)
moxel_targets_of_type(${PROJECT_SOURCE_DIR} MODULE_LIBRARY _moxel_plugins)
foreach(library IN LISTS _moxel_editor _moxel_plugins)
  install(TARGETS ${library} LIBRARY DESTINATION ${MOXEL_INSTALL_PKGDIR} COMPONENT moxel)
endforeach()

file(GLOB _moxel_bundled_profiles ${PROJECT_SOURCE_DIR}/profiles/samples/*.pf)
install(FILES ${_moxel_bundled_profiles} DESTINATION ${MOXEL_INSTALL_PROFILEDIR} COMPONENT moxel)

if(TARGET moxel)
  install(FILES ${PROJECT_SOURCE_DIR}/app/data/moxel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT moxel)
  install(FILES ${PROJECT_SOURCE_DIR}/app/data/moxel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT moxel)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/moxel
        COMPONENT moxel)

# Everything above is the component "moxel": cmake --install <build>
# --component moxel installs exactly this layout, and the package holds it
# alone (rules elsewhere that put files straight into bin/ stay out).
# cpack -G DEB in the build folder makes moxel_<version>_<arch>.deb.
set(CPACK_COMPONENTS_ALL moxel)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME moxel)
set(CPACK_PACKAGE_VENDOR "The Moxel developers")
set(CPACK_PACKAGE_CONTACT "The Moxel developers <moxel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Batch encoder for KMF streaming video")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
