# The Debian package: `cpack -G DEB` in a build folder (scripts/package makes one in Release).

set(VELMORASTIK_MAINTAINER "velmorastik maintainers <maintainers@users.noreply.c-seed-14b74935.example>"
  CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmorastik)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELMORASTIK_MAINTAINER})
# Every library the programs link, the import tool's libvips and FFmpeg libraries among them, comes
# from dpkg-shlibdeps, so the dependencies follow what is linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "self-running audiovisual show of pictures and music
Velmorastik plays full-screen or windowed pictures that fade to and from
black, with an animated interference pattern over the first set and one
soundtrack, for about two minutes, and ends by itself.
The package holds the show, its own data set (twelve pictures, a texture
and a two-minute piece, all made by the project's generator), a tool that
renders the show's frames without a screen, the generator itself, and a
tool that makes your own photos and music into a show.")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Installed under /usr through DESTDIR, so that install-time paths (the menu entry's folder)
# name /usr and not the staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
