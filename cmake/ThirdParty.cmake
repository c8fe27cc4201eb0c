# The libraries the Qt-free core links: FreeXL (reads .xls workbooks),
# qrcodegen (encodes QR symbols) and dlib (finds faces), as the targets
# velmora::freexl, qrcodegen::qrcodegen and velmora_dlib. A native build uses
# the installed Debian packages; a cross build compiles FreeXL and qrcodegen
# from their sources, which scripts/windows-sources.sh fetches into
# VELMORA_THIRD_PARTY_SOURCE_DIR, and links the dlib scripts/windows-dlib.sh
# builds into VELMORA_DLIB_PREFIX.

if(VELMORA_THIRD_PARTY_SOURCE_DIR)
    enable_language(C)
    file(GLOB FREEXL_DIR LIST_DIRECTORIES true "${VELMORA_THIRD_PARTY_SOURCE_DIR}/freexl-*")
    file(GLOB QRCODEGEN_DIR LIST_DIRECTORIES true "${VELMORA_THIRD_PARTY_SOURCE_DIR}/QR-Code-generator-*")
    if(NOT EXISTS "${FREEXL_DIR}/src/freexl.c" OR NOT EXISTS "${QRCODEGEN_DIR}/cpp/qrcodegen.cpp")
        message(FATAL_ERROR "No FreeXL or qrcodegen sources under ${VELMORA_THIRD_PARTY_SOURCE_DIR}")
    endif()

    add_library(freexl STATIC "${FREEXL_DIR}/src/freexl.c")
    target_include_directories(freexl PUBLIC "${FREEXL_DIR}/headers")
    set_target_properties(freexl PROPERTIES AUTOMOC OFF C_STANDARD 99)
    # Third-party code: its warnings are not ours to fix.
    target_compile_options(freexl PRIVATE -w)
    if(WIN32)
        # Windows has no iconv; the reader's conversions go through the
        # Windows code-page functions instead.
        add_library(win32_iconv STATIC "${CMAKE_CURRENT_LIST_DIR}/win32-iconv/iconv.cpp")
        target_include_directories(win32_iconv PUBLIC "${CMAKE_CURRENT_LIST_DIR}/win32-iconv")
        set_target_properties(win32_iconv PROPERTIES AUTOMOC OFF)
        target_compile_options(win32_iconv PRIVATE -Wall -Wextra -pedantic)
        target_link_libraries(freexl PUBLIC win32_iconv)
    endif()
    add_library(velmora::freexl ALIAS freexl)

    add_library(qrcodegen STATIC "${QRCODEGEN_DIR}/cpp/qrcodegen.cpp")
    target_include_directories(qrcodegen PUBLIC "${QRCODEGEN_DIR}/cpp")
    set_target_properties(qrcodegen PROPERTIES AUTOMOC OFF)
    target_compile_options(qrcodegen PRIVATE -w)
    add_library(qrcodegen::qrcodegen ALIAS qrcodegen)
else()
    # FreeXL: Debian's pkg-config file; elsewhere (vcpkg on Windows) the
    # header, the library and the iconv it needs.
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
        pkg_check_modules(FREEXL QUIET IMPORTED_TARGET GLOBAL freexl)
    endif()
    if(TARGET PkgConfig::FREEXL)
        add_library(velmora::freexl ALIAS PkgConfig::FREEXL)
    else()
        find_path(FREEXL_INCLUDE_DIR freexl.h REQUIRED)
        find_library(FREEXL_LIBRARY NAMES freexl REQUIRED)
        find_package(Iconv REQUIRED)
        add_library(velmora::freexl UNKNOWN IMPORTED)
        set_target_properties(velmora::freexl PROPERTIES
            IMPORTED_LOCATION "${FREEXL_LIBRARY}"
            INTERFACE_INCLUDE_DIRECTORIES "${FREEXL_INCLUDE_DIR}"
            INTERFACE_LINK_LIBRARIES Iconv::Iconv)
    endif()
    # qrcodegen: Debian names it qrcodegencpp, vcpkg nayuki-qr-code-generator.
    find_path(QRCODEGEN_INCLUDE_DIR qrcodegen.hpp PATH_SUFFIXES qrcodegen REQUIRED)
    find_library(QRCODEGEN_LIBRARY NAMES qrcodegencpp nayuki-qr-code-generator REQUIRED)
    add_library(qrcodegen::qrcodegen UNKNOWN IMPORTED)
    set_target_properties(qrcodegen::qrcodegen PROPERTIES
        IMPORTED_LOCATION "${QRCODEGEN_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${QRCODEGEN_INCLUDE_DIR}")
endif()

# dlib: only its HOG face detector, whose model is part of the library.
# Its CMake package (Debian's, or the cross build's) carries what the
# library itself links (pkg-config's list of library files would end up
# before the objects that need them).
if(VELMORA_DLIB_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH "${VELMORA_DLIB_PREFIX}")
endif()
find_package(dlib 19.24 CONFIG REQUIRED)
add_library(velmora_dlib INTERFACE)
target_link_libraries(velmora_dlib INTERFACE dlib::dlib)
