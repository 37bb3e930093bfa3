# Installs the library for other projects: headers, the static libraries, a
# CMake package (find_package(Markeye) gives Markeye::markeye, and
# Markeye::markeye_imageio when it was built) and pkg-config files (markeye,
# markeye-imageio). Included from the top level once every target exists.
include(CMakePackageConfigHelpers)

set(MARKEYE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Markeye)
set(MARKEYE_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# markeye is static, so its users link the core it is built on: votrack goes
# along as a library, without its headers.
install(TARGETS markeye votrack EXPORT MarkeyeTargets)
install(EXPORT MarkeyeTargets NAMESPACE Markeye:: DESTINATION ${MARKEYE_CMAKE_DIR})
# ImageFile.h belongs to markeye_imageio and VideoFile.h to markeye_video:
# each is installed only with its library.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/markeye DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "ImageFile.h" EXCLUDE PATTERN "VideoFile.h" EXCLUDE)
get_target_property(MARKEYE_LIBRARY_BINARY_DIR markeye BINARY_DIR)
install(FILES ${MARKEYE_LIBRARY_BINARY_DIR}/include/markeye/Version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/markeye)

if(MARKEYE_BUILD_IMAGEIO)
  # A file of its own, so that the package's config file reads it only
  # after finding libpng and libjpeg.
  install(TARGETS markeye_imageio EXPORT MarkeyeImageioTargets)
  install(EXPORT MarkeyeImageioTargets NAMESPACE Markeye:: DESTINATION ${MARKEYE_CMAKE_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/markeye/ImageFile.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/markeye)
endif()

if(MARKEYE_BUILD_VIDEO)
  install(TARGETS markeye_video EXPORT MarkeyeVideoTargets)
  install(EXPORT MarkeyeVideoTargets NAMESPACE Markeye:: DESTINATION ${MARKEYE_CMAKE_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/markeye/VideoFile.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/markeye)
endif()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/MarkeyeConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/MarkeyeConfig.cmake INSTALL_DESTINATION ${MARKEYE_CMAKE_DIR})
# Before 1.0 a minor release may change the API; from 1.0 on only a major one.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(MARKEYE_COMPATIBILITY SameMinorVersion)
else()
  set(MARKEYE_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MarkeyeConfigVersion.cmake
                                 COMPATIBILITY ${MARKEYE_COMPATIBILITY})
install(FILES ${PROJECT_BINARY_DIR}/MarkeyeConfig.cmake ${PROJECT_BINARY_DIR}/MarkeyeConfigVersion.cmake
        DESTINATION ${MARKEYE_CMAKE_DIR})

# The pkg-config files find the prefix from where they lie, so that an
# install elsewhere with --prefix, or a moved one, names its own files.
file(RELATIVE_PATH MARKEYE_PKGCONFIG_TO_PREFIX /${MARKEYE_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" MARKEYE_PKGCONFIG_TO_PREFIX ${MARKEYE_PKGCONFIG_TO_PREFIX})

# Writes <name>.pc from cmake/<name>.pc.in and installs it.
function(markeye_install_pkgconfig name)
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/${name}.pc.in ${PROJECT_BINARY_DIR}/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${name}.pc DESTINATION ${MARKEYE_PKGCONFIG_DIR})
endfunction()

markeye_install_pkgconfig(markeye)
if(MARKEYE_BUILD_IMAGEIO)
  markeye_install_pkgconfig(markeye-imageio)
endif()
if(MARKEYE_BUILD_VIDEO)
  markeye_install_pkgconfig(markeye-video)
endif()
