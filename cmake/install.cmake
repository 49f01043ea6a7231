# The Linux install (cmake --install) and its Debian package (cpack).
#
# The programs go to bin, the plug-in to <libdir>/kalvorin and the runtime texts
# to share/kalvorin; the programs find them there from their own folder
# (KALVORIN_PLUGIN_FROM_BIN, KALVORIN_TEXTS_FROM_BIN), so the installed tree
# works under any prefix and in any root. The manual pages are made from the
# programs' own --help and --version at build time, so they cannot drift from
# what the programs say.
include_guard(GLOBAL)

set(_programs kalvorin-host kalvorin-reg kalvorin-lint)
if(KALVORIN_BUILD_CONFIG)
  list(APPEND _programs Kalvorin)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A plug-in that is loaded, never run: no execute bits.
install(TARGETS kalvorin_tbp LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kalvorin
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(TRANSFORM KALVORIN_RESOURCES PREPEND ${CMAKE_SOURCE_DIR}/resources/ OUTPUT_VARIABLE _texts)
install(FILES ${_texts} DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvorin)
if(KALVORIN_BUILD_CONFIG)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/kalvorin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/kalvorin.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(_doc ${CMAKE_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${_doc})

# kalvorin_gzip(SOURCE OUTPUT): compressed as Debian wants it, with no name
# or time stamp inside, so that the same text gives the same bytes.
function(kalvorin_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
endfunction()

# Manual pages, each from its program's --help and --version
# (cmake/manpage.cmake). Not in the sanitizer and fuzzing builds, whose
# programs are for the tests.
set(_man_outputs)
if(NOT KALVORIN_SANITIZE AND NOT KALVORIN_FUZZ)
  set(_summary_kalvorin-host "score mail through the Kalvorin plug-in, or filter one message in a delivery pipeline")
  set(_summary_kalvorin-reg "read and write the Kalvorin settings store")
  set(_summary_kalvorin-lint "check the Kalvorin filter lists")
  set(_summary_Kalvorin "the Kalvorin configuration window")
  configure_file(${CMAKE_SOURCE_DIR}/resources/linux/man-tail.roff.in ${_doc}/man-tail.roff @ONLY)
  foreach(p ${_programs})
    set(page ${_doc}/${p}.1)
    # The settings tool names the store it uses; the page names where any
    # account's store is.
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
              "KALVORIN_HIVE=$KALVORIN_HIVE, else \${XDG_CONFIG_HOME:-~/.config}/kalvorin/hkcu.db"
              ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${p}> -DNAME=${p} -DSUMMARY=${_summary_${p}}
              -DTAIL=${_doc}/man-tail.roff -DOUTPUT=${page} -P ${CMAKE_SOURCE_DIR}/cmake/manpage.cmake
      DEPENDS ${p} ${_doc}/man-tail.roff ${CMAKE_SOURCE_DIR}/cmake/manpage.cmake VERBATIM)
    kalvorin_gzip(${page} ${page}.gz)
    list(APPEND _man_outputs ${page}.gz)
  endforeach()
  install(FILES ${_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

configure_file(${CMAKE_SOURCE_DIR}/resources/linux/changelog.in ${_doc}/changelog @ONLY)
kalvorin_gzip(${_doc}/changelog ${_doc}/changelog.gz)
add_custom_target(linux_docs ALL DEPENDS ${_man_outputs} ${_doc}/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/copyright ${_doc}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvorin)
install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME kalvorin)

# The Debian package. CPack's own DEB writer rather than debhelper: the
# install rules above are the one description of what goes where, and it
# needs no debian/ tree beside them. dpkg-shlibdeps works out Depends.
# Configured with the prefix /usr (scripts/package.sh), the plug-in goes to
# the multiarch lib/<triplet>/kalvorin, where CPack adds no ldconfig scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvorin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kalvorin developers <kalvorin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rule-based anti-spam filter for mail")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kalvorin scores each message by the first line of its secure, trash and
suspect filter lists that matches the sender, subject, header, attachments
or body. kalvorin-host --filter scores a message in a delivery pipeline
(procmail, maildrop, Sieve) and adds an X-Kalvorin-Score header field;
the Kalvorin window composes filter lines and tests the lists;
kalvorin-lint checks them.")
include(CPack)
