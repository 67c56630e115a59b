# Install rules and the Debian package (cpack -G DEB).
install(TARGETS deepglass RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS deepglass_module deepglass_video host_bmm host_flt host_core LIBRARY DESTINATION ${DEEPGLASS_INSTALL_MODULEDIR})
install(FILES ${DEEPGLASS_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DEEPGLASS_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Installed, the tool finds the host library it links (bmm) in the module's folder, and the module,
# the video library and the host libraries find one another in it. Build trees keep their absolute run paths.
set_target_properties(deepglass PROPERTIES INSTALL_RPATH "$ORIGIN/${DEEPGLASS_MODULE_FROM_BINDIR}")
set_target_properties(deepglass_module deepglass_video host_bmm host_flt host_core PROPERTIES INSTALL_RPATH "$ORIGIN")

set(CPACK_PACKAGE_NAME deepglass)
set(CPACK_PACKAGE_VENDOR "Deepglass")
set(CPACK_PACKAGE_CONTACT "Deepglass developers <deepglass@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "grey depth pictures from rendered EXR frames")
set(CPACK_PACKAGE_DESCRIPTION "deepglass runs rendered OpenEXR frames through the Deepglass image-filter \
module, KELDA.FLT, and writes the grey depth pictures it makes, frame by frame or over whole shots.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Depends: from the shared libraries the installed files link, by dpkg-shlibdeps; the stand-in host
# libraries travel in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${DEEPGLASS_INSTALL_MODULEDIR})
# The Python module is built for Debian's Python 3.11; it takes numpy arrays where numpy is there.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.11~), python3 (<< 3.12)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3-numpy")
include(CPack)
