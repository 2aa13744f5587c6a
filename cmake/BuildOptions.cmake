# One interface target carries every build option, so each of our targets links it and nothing else.
add_library(tunex_build_options INTERFACE)
target_compile_features(tunex_build_options INTERFACE cxx_std_20)
target_compile_options(tunex_build_options INTERFACE
    -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
target_compile_definitions(tunex_build_options INTERFACE
    QT_DISABLE_DEPRECATED_BEFORE=0x060400 QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII)
if(TUNEX_SANITIZE)
    target_compile_options(tunex_build_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tunex_build_options INTERFACE -fsanitize=address,undefined)
endif()
