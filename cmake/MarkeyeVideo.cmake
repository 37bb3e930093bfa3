# Whether markeye_video (src/video/) is built: FFmpeg's libraries found by
# pkg-config turn it on by default; without them the build goes on without
# video files (the markeye program then says how to pipe raw frames in).
# Included from the top level after the options of the parts it needs.
set(MARKEYE_FFMPEG_MODULES libavformat libavcodec libswscale libavutil)
if(MARKEYE_BUILD_IMAGEIO)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(MARKEYE_FFMPEG QUIET IMPORTED_TARGET ${MARKEYE_FFMPEG_MODULES})
  endif()
endif()
cmake_dependent_option(MARKEYE_BUILD_VIDEO
                       "Build markeye_video, video files through FFmpeg's libraries (ON when they are found)"
                       ON "MARKEYE_BUILD_IMAGEIO;MARKEYE_FFMPEG_FOUND" OFF)
