# Debian packages, made by `cpack -G DEB` in a build folder (see
# tools/make-debs.sh for a release build with the distribution's flags):
#
#   corvid          the program, corvid-convert, corvid-thumbnailer, the Qt
#                   image-format plugin, desktop entry, MIME type, icon,
#                   thumbnailer entry and man pages
#   librastkit1     the shared library (SONAME librastkit.so.1)
#   librastkit-dev  rastkit.h, the librastkit.so link and rastkit.pc
#
# Each package carries /usr/share/doc/<package>/copyright and changelog.gz.
# Included once from the top-level CMakeLists.txt, after every install rule.

# ---- rastkit.pc: found relative to itself (prefix = ${pcfiledir}/../..) --
file(RELATIVE_PATH RK_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" RK_PC_TO_PREFIX "${RK_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/rastkit.pc.in ${CMAKE_BINARY_DIR}/packaging/rastkit.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/rastkit.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT librastkit-dev)

# ---- copyright and changelog.gz of each package -------------------------
set(RK_PACKAGES librastkit1 librastkit-dev)
if(TARGET corvid)
  list(PREPEND RK_PACKAGES corvid)
endif()
find_program(GZIP_PROGRAM gzip REQUIRED)
set(RK_PACKAGE_DOCS)
foreach(pkg ${RK_PACKAGES})
  set(CORVID_PACKAGE ${pkg})
  set(dir ${CMAKE_BINARY_DIR}/packaging/doc/${pkg})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${dir}/changelog @ONLY)
  # -n: no name or time stamp in the header, so the bytes depend on the
  # text alone; -9 as Debian's tools compress.
  add_custom_command(OUTPUT ${dir}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${dir}/changelog > ${dir}/changelog.gz
    DEPENDS ${dir}/changelog VERBATIM)
  list(APPEND RK_PACKAGE_DOCS ${dir}/changelog.gz)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${pkg} COMPONENT ${pkg})
endforeach()
add_custom_target(rk_package_docs ALL DEPENDS ${RK_PACKAGE_DOCS})

# ---- CPack ---------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvid)
set(CPACK_PACKAGE_VENDOR Quillbank)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillbank <corvid@quillbank.invalid>")
set(CPACK_COMPONENTS_ALL ${RK_PACKAGES})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # <package>_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Dependencies on system libraries (Qt, libstdc++, libc) come from
# dpkg-shlibdeps; those between the three packages are exact versions.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# librastkit.so.1 is in no installed package yet: dpkg-shlibdeps finds it
# in the build tree and leaves it to the exact dependency below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/rastkit)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# librastkit1 declares its SONAME in a shlibs file so that packages built
# against it depend on librastkit1 (>= this version). (CPack looks at every
# package; it notes that the image plugin, which has no SONAME, is left out.)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_CORVID_PACKAGE_NAME corvid)
set(CPACK_DEBIAN_CORVID_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_CORVID_DEPENDS librastkit1)
set(CPACK_COMPONENT_CORVID_DESCRIPTION
"viewer and converter for pictures of early digital cameras
Corvid shows the still pictures of early digital cameras, stored in CAM
files, as well as JPEG, Exif JPEG and TIFF files, and saves them as JPEG,
TIFF or BMP. corvid-convert converts many files at once from the command
line.

The package also puts CAM pictures where people look for them: a
thumbnailer shows them in file managers, and a Qt image-format plugin
lets every Qt program open them.")

set(CPACK_DEBIAN_LIBRASTKIT1_PACKAGE_NAME librastkit1)
set(CPACK_DEBIAN_LIBRASTKIT1_PACKAGE_SECTION libs)
# The linker cache is updated through dpkg's ldconfig trigger.
set(CPACK_DEBIAN_LIBRASTKIT1_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/librastkit1/triggers)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/librastkit1/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME librastkit1 COMPONENT librastkit1)
set(CPACK_COMPONENT_LIBRASTKIT1_DESCRIPTION
"image codec library for CAM camera pictures, JPEG and TIFF
rastkit decodes the CAM pictures of early digital cameras, baseline JPEG,
TIFF and Exif headers, encodes JPEG, and offers image filters and camera
raw-data pipelines, through a flat C interface.")

set(CPACK_DEBIAN_LIBRASTKIT-DEV_PACKAGE_NAME librastkit-dev)
set(CPACK_DEBIAN_LIBRASTKIT-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBRASTKIT-DEV_DEPENDS librastkit1)
set(CPACK_COMPONENT_LIBRASTKIT-DEV_DESCRIPTION
"image codec library for CAM camera pictures - development files
rastkit decodes the CAM pictures of early digital cameras, baseline JPEG,
TIFF and Exif headers, encodes JPEG, and offers image filters and camera
raw-data pipelines, through a flat C interface.

This package holds the header rastkit.h, the link library and the
pkg-config file rastkit.pc.")

include(CPack)
