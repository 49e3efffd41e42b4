# The Windows build: the real platform layer, KORVANTE.exe and the test executables that run under
# Wine. Included from src/CMakeLists.txt when the target system is Windows (see cmake/mingw-i686.cmake,
# and cmake/mingw-x86_64.cmake for the tests on a machine without 32-bit support).

set(KORVANTE_WIN32_SOURCE_DIR ${PROJECT_SOURCE_DIR}/src/platform/win32)

# --- the real platform layer, one library per facility --------------------------------------------

# Object libraries, as the simulated ones: the core calls into them, so link order cannot drop them.
add_library(korvante_win32_storage OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Storage.cpp)
target_link_libraries(korvante_win32_storage PUBLIC korvante_core setupapi)
add_library(korvante_win32_clock OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Clock.cpp)
target_link_libraries(korvante_win32_clock PUBLIC korvante_core winmm)
add_library(korvante_win32_shell OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Shell.cpp)
target_link_libraries(korvante_win32_shell PUBLIC korvante_core shell32)
add_library(korvante_win32_system OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Registry.cpp
                                         ${KORVANTE_WIN32_SOURCE_DIR}/Win32System.cpp)
target_link_libraries(korvante_win32_system PUBLIC korvante_core advapi32 version user32)
add_library(korvante_win32_ui OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32UserInterface.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Windowing.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Tray.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Menus.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32GraphBitmap.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Processes.cpp)
target_link_libraries(korvante_win32_ui PUBLIC korvante_core user32 gdi32 shell32)
add_library(korvante_win32_threads OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Threads.cpp)
target_link_libraries(korvante_win32_threads PUBLIC korvante_core)
# The program runs on Windows 7 and later: the headers hide what a later version added.
foreach(lib korvante_win32_storage korvante_win32_clock korvante_win32_shell korvante_win32_system
            korvante_win32_ui korvante_win32_threads)
  target_compile_definitions(${lib} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
endforeach()

# --- KORVANTE.exe ---------------------------------------------------------------------------------

enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/src/app/KORVANTE.rc.in ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc @ONLY)
add_executable(KORVANTE WIN32 ${PROJECT_SOURCE_DIR}/src/app/Program.cpp ${KORVANTE_WIN32_SOURCE_DIR}/Win32Main.cpp
                        ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_compile_definitions(KORVANTE PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(KORVANTE PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                       korvante_win32_shell korvante_win32_system korvante_win32_ui
                                       korvante_win32_threads)

# --- tests under Wine -----------------------------------------------------------------------------

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)  # GTest::gtest_main

# One ctest test per executable: Wine's start-up costs more than most tests, so the executable runs
# its whole suite at once. Tests that need a display (windows, dialogs, tray icons) go into their
# own executable with GUI, which labels it `gui`; scripts/test.sh runs those under Xvfb.
function(korvante_windows_test name)
  cmake_parse_arguments(arg "GUI" "" "" ${ARGN})
  add_test(NAME ${name} COMMAND ${name})
  set(labels windows)
  if(arg_GUI)
    list(APPEND labels gui)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT 900)
endfunction()

# KORVANTE.exe itself loads (no DLL missing beside it) and, with no drive to scan, exits with 0.
add_test(NAME korvante_exe_starts COMMAND KORVANTE)
set_tests_properties(korvante_exe_starts PROPERTIES LABELS windows TIMEOUT 120)

# The portable test sources are listed by tests/CMakeLists.txt, which CMake reads after src/; the
# executables are therefore defined once the top directory is done.
function(korvante_add_windows_tests)
  # The portable suite and the checks of the Windows headers, on the simulated machine.
  file(GLOB layout_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/windows/*.cpp)
  # The layout checks hold the request buffers, which the core writes byte by byte in the 32-bit
  # layout of the program, against the headers' structures; a 64-bit tree (the Windows tests on a
  # machine that cannot execute 32-bit programs) has the 64-bit structures, so it leaves them out.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(layout_tests)
  endif()
  add_executable(korvante_wintests ${KORVANTE_PORTABLE_TESTS} ${layout_tests})
  target_link_libraries(korvante_wintests PRIVATE korvante_core korvante_dump korvante_life korvante_sim_storage korvante_sim_clock
                                                  korvante_sim_shell korvante_sim_ui korvante_sim_threads
                                                  korvante_sim_world korvante_sim_system GTest::gtest_main)
  target_include_directories(korvante_wintests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(korvante_wintests PRIVATE KORVANTE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  korvante_windows_test(korvante_wintests)

  # The real platform layer and KORVANTE.exe itself: nothing simulated is linked in.
  file(GLOB win32_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/windows/win32/*.cpp)
  if(win32_tests)
    add_executable(korvante_win32tests ${win32_tests})
    target_link_libraries(korvante_win32tests PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                                      korvante_win32_shell korvante_win32_system korvante_win32_ui
                                                      korvante_win32_threads GTest::gtest_main)
    target_include_directories(korvante_win32tests PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
    target_compile_definitions(korvante_win32tests PRIVATE KORVANTE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                               KORVANTE_EXE_PATH="$<TARGET_FILE:KORVANTE>" KORVANTE_VERSION="${PROJECT_VERSION}")
    add_dependencies(korvante_win32tests KORVANTE)
    korvante_windows_test(korvante_win32tests)
  endif()
endfunction()

# CMake 3.19 or later (Debian 12 has 3.25).
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korvante_add_windows_tests)
