# Where an installation puts things: deepglass in bin/, the module and the stand-in host libraries
# it imports in lib/deepglass/, the Python module in lib/python3/dist-packages/deepglass/ (where
# Debian's Python looks). The tool finds the module from its own location, through the
# relative path from the one folder to the other, so that an installation works under any prefix
# or DESTDIR, and wherever its files are moved together.
include(GNUInstallDirs)
set(DEEPGLASS_INSTALL_MODULEDIR "${CMAKE_INSTALL_LIBDIR}/deepglass"
    CACHE STRING "Folder of the installed module and its host libraries, under the prefix")
cmake_path(ABSOLUTE_PATH DEEPGLASS_INSTALL_MODULEDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
           OUTPUT_VARIABLE module_dir)
file(RELATIVE_PATH DEEPGLASS_MODULE_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}" "${module_dir}")
set(DEEPGLASS_INSTALL_PYTHONDIR "lib/python3/dist-packages"
    CACHE STRING "Folder of the installed Python package deepglass, under the prefix")
cmake_path(ABSOLUTE_PATH DEEPGLASS_INSTALL_PYTHONDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
           OUTPUT_VARIABLE python_dir)
file(RELATIVE_PATH DEEPGLASS_MODULE_FROM_PYTHONDIR "${python_dir}/deepglass" "${module_dir}")
