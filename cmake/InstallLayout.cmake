# Where `cmake --install` puts the program, with GNUInstallDirs. The libraries go to
# lib/<multiarch>/halvern under any prefix (GNUInstallDirs alone picks the multiarch
# folder only for /usr), so the layout the program looks for is the same everywhere.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)

set(HALVERN_APP_ID "io.github.halvern.Halvern")
set(HALVERN_INSTALL_LIBRARYDIR "${CMAKE_INSTALL_LIBDIR}/halvern")
set(HALVERN_INSTALL_SKINDIR "${CMAKE_INSTALL_DATADIR}/halvern/res")

# The program finds the installed libraries and skin from its own folder by these
# relative paths, so an install moved as a whole, or staged under DESTDIR, still works.
file(RELATIVE_PATH HALVERN_BIN_TO_LIBRARIES "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_FULL_LIBDIR}/halvern")
file(RELATIVE_PATH HALVERN_BIN_TO_SKIN "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_FULL_DATADIR}/halvern/res")
