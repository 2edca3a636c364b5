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

  # The manual page and the bash completion are made from sfxpack's own --help, so that they
  # say what the installed program does.
  find_program(SFX_PYTHON python3 REQUIRED)
  set(doc ${CMAKE_BINARY_DIR}/doc)
  set(changelog ${CMAKE_SOURCE_DIR}/packaging/changelog)
  add_custom_command(
    OUTPUT ${doc}/sfxpack.1.gz ${doc}/sfxpack ${doc}/changelog.gz
    COMMAND ${SFX_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/sfxpack-docs.py $<TARGET_FILE:sfxpack>
            ${PROJECT_VERSION} ${changelog} ${doc}
    DEPENDS sfxpack ${CMAKE_SOURCE_DIR}/scripts/sfxpack-docs.py ${changelog} VERBATIM)
  add_custom_target(sfxpack_docs ALL DEPENDS ${doc}/sfxpack.1.gz ${doc}/sfxpack ${doc}/changelog.gz)
  install(FILES ${doc}/sfxpack.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${doc}/sfxpack DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install(FILES ${doc}/changelog.gz ${CMAKE_SOURCE_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_CONTACT "Quorel Informatique <loftsfx@quorel.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
      "builds self-extracting installers for 32-bit Windows on Linux")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "sfxpack packs a product's folder into a compressed payload archive and
makes an installer of it: a small 32-bit Windows program that extracts
the files into a folder of its own and starts the product's install.exe.
It sets the installer's execution level, icon and version information,
and lists, verifies and extracts the archives and installers it made.
.
The installer stub is included; sfxpack finds it without options.")
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
endfunction()
