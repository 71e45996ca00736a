# Finds every platform package the engine uses and fails configuration with
# the package's name when one is missing.

find_package(PkgConfig)
if(NOT PkgConfig_FOUND)
    message(FATAL_ERROR "pkg-config not found (package pkg-config)")
endif()

macro(engine_require_package name debian)
    find_package(${name} ${ARGN})
    if(NOT ${name}_FOUND)
        message(FATAL_ERROR "Required package ${name} not found (Debian package ${debian})")
    endif()
endmacro()

macro(engine_require_pkgconfig target module debian)
    pkg_check_modules(${target} IMPORTED_TARGET ${module})
    if(NOT ${target}_FOUND)
        message(FATAL_ERROR "Required library ${module} not found (Debian package ${debian})")
    endif()
endmacro()

engine_require_package(Threads build-essential)
engine_require_package(ZLIB zlib1g-dev)
engine_require_package(PNG libpng-dev)
engine_require_package(JPEG libjpeg-dev)
engine_require_package(Freetype libfreetype-dev)
engine_require_package(Fontconfig libfontconfig-dev)
set(OpenGL_GL_PREFERENCE GLVND)
engine_require_package(OpenGL libgl-dev COMPONENTS OpenGL EGL)
engine_require_package(OpenAL libopenal-dev)
engine_require_pkgconfig(SDL2 sdl2 libsdl2-dev)
engine_require_pkgconfig(AVFORMAT libavformat libavformat-dev)
engine_require_pkgconfig(AVCODEC libavcodec libavcodec-dev)
engine_require_pkgconfig(SWSCALE libswscale libswscale-dev)
engine_require_pkgconfig(SWRESAMPLE libswresample libswresample-dev)
engine_require_pkgconfig(AVUTIL libavutil libavutil-dev)
engine_require_pkgconfig(ALSA alsa libasound2-dev)

engine_require_package(GTest libgtest-dev)
engine_require_package(benchmark libbenchmark-dev)

if(NOT TARGET OpenAL::OpenAL)
    add_library(OpenAL::OpenAL INTERFACE IMPORTED)
    set_target_properties(OpenAL::OpenAL PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${OPENAL_INCLUDE_DIR}"
        INTERFACE_LINK_LIBRARIES "${OPENAL_LIBRARY}")
endif()

# Everything the platform backends link against, in one place.
add_library(engine_platform_deps INTERFACE)
target_link_libraries(engine_platform_deps INTERFACE
    PkgConfig::SDL2 OpenGL::OpenGL OpenGL::EGL OpenAL::OpenAL
    Freetype::Freetype Fontconfig::Fontconfig PNG::PNG JPEG::JPEG ZLIB::ZLIB
    PkgConfig::AVFORMAT PkgConfig::AVCODEC PkgConfig::SWSCALE PkgConfig::SWRESAMPLE
    PkgConfig::AVUTIL PkgConfig::ALSA Threads::Threads)
