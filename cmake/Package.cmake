# Installing and packaging (host build): sfxpack in bin/, the stub beside what sfxpack looks for
# by default, share/loftsfx/stub.exe. The stub comes from the win32 build, a separate tree: by
# default the one build.sh makes beside this one; SFX_STUB_FILE names another.
include(GNUInstallDirs)
set(SFX_STUB_DESTINATION ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME})
file(RELATIVE_PATH SFX_STUB_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${SFX_STUB_DESTINATION})
if(NOT SFX_WIN32)
  set(SFX_STUB_FILE ${CMAKE_BINARY_DIR}/../win32/bin/stub.exe CACHE FILEPATH
      "The win32 build's stub.exe that install, the package and the host tests use")
endif()

function(sfx_install_and_package)
  if(SFX_WIN32 OR SFX_FUZZ)
    return()
  endif()
  install(TARGETS sfxpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # A clear message instead of a package without its stub.
  install(CODE "if(NOT EXISTS \"${SFX_STUB_FILE}\")
    message(FATAL_ERROR \"no stub at ${SFX_STUB_FILE}: build the win32 build first (scripts/build.sh) or set SFX_STUB_FILE\")
  endif()")
  install(FILES ${SFX_STUB_FILE} DESTINATION ${SFX_STUB_DESTINATION})
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT "Quorel Informatique <loftsfx@quorel.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "sfxpack: builds self-extracting installers for 32-bit Windows on Linux")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endfunction()
