# Every external library is found once, here.
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(ICU 72 REQUIRED COMPONENTS uc i18n data)
find_package(nlohmann_json 3.11 REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(CURL REQUIRED)
pkg_check_modules(OPENBLAS REQUIRED IMPORTED_TARGET openblas)
# Audio files, encoding and resampling (FFmpeg 5.1); devices and capture (PulseAudio).
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample libavutil)
pkg_check_modules(LIBPULSE REQUIRED IMPORTED_TARGET libpulse)
# Desktop services: secret store, D-Bus (GDBus), update feed, global hot key.
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0)
find_package(pugixml REQUIRED)
find_package(X11 REQUIRED)
# The application shell only.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Network Test)

if(VELMORA_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
    find_path(HTTPLIB_INCLUDE_DIR httplib.h REQUIRED)
    # Debian builds cpp-httplib as a library: its header alone does not link.
    pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
endif()
if(VELMORA_BUILD_BENCHMARKS)
    find_package(benchmark REQUIRED)
endif()
