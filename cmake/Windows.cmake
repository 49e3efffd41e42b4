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
# The shell, the network and the signature check: what the program opens or starts outside itself.
add_library(korvante_win32_shell OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Shell.cpp ${KORVANTE_WIN32_SOURCE_DIR}/Win32Network.cpp
                                        ${KORVANTE_WIN32_SOURCE_DIR}/Win32Trust.cpp)
target_link_libraries(korvante_win32_shell PUBLIC korvante_core shell32 wininet wintrust crypt32)
add_library(korvante_win32_system OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Registry.cpp
                                         ${KORVANTE_WIN32_SOURCE_DIR}/Win32System.cpp
                                         ${KORVANTE_WIN32_SOURCE_DIR}/Win32Installation.cpp)
target_link_libraries(korvante_win32_system PUBLIC korvante_core advapi32 version user32 shell32)
add_library(korvante_win32_ui OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32UserInterface.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Windowing.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Tray.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Dialogs.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32RichEdit.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Menus.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Foreground.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32GraphBitmap.cpp
                                     ${KORVANTE_WIN32_SOURCE_DIR}/Win32Processes.cpp)
target_link_libraries(korvante_win32_ui PUBLIC korvante_core user32 gdi32 shell32 comctl32)
add_library(korvante_win32_threads OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Threads.cpp)
target_link_libraries(korvante_win32_threads PUBLIC korvante_core)
# The program runs on Windows 7 and later: the headers hide what a later version added.
foreach(lib korvante_win32_storage korvante_win32_clock korvante_win32_shell korvante_win32_system
            korvante_win32_ui korvante_win32_threads)
  target_compile_definitions(${lib} PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
endforeach()

# --- KORVANTE.exe ---------------------------------------------------------------------------------

enable_language(RC)
# The resources: the version, the application manifest and the icon, drawn at build time.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KORVANTE_ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.ico)
add_custom_command(OUTPUT ${KORVANTE_ICON_FILE}
                   COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/src/app/make-icon.py ${KORVANTE_ICON_FILE}
                   DEPENDS ${PROJECT_SOURCE_DIR}/src/app/make-icon.py
                   COMMENT "Drawing the program's icon")
set(KORVANTE_MANIFEST_FILE ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.manifest)
configure_file(${PROJECT_SOURCE_DIR}/src/app/KORVANTE.manifest ${KORVANTE_MANIFEST_FILE} @ONLY)
set(KORVANTE_LICENSE_FILE ${PROJECT_SOURCE_DIR}/src/app/License.txt)
configure_file(${PROJECT_SOURCE_DIR}/src/app/KORVANTE.rc.in ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc PROPERTIES
                            OBJECT_DEPENDS "${KORVANTE_ICON_FILE};${KORVANTE_MANIFEST_FILE};${KORVANTE_LICENSE_FILE}")
add_executable(KORVANTE WIN32 ${PROJECT_SOURCE_DIR}/src/app/Program.cpp ${KORVANTE_WIN32_SOURCE_DIR}/Win32Main.cpp
                        ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_compile_definitions(KORVANTE PRIVATE _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(KORVANTE PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                       korvante_win32_shell korvante_win32_system korvante_win32_ui
                                       korvante_win32_threads)

# --- KORVANTE-sim.exe: the same program on simulated drives ----------------------------------------

# Everything is real (clock, timers, threads, registry, windows, tray, shell) except the drives, which
# are the simulated machine on the real clock (korvante_sim_real_timeline). WinMain is the program's
# own, compiled to call SimulatedProgramMain (src/app/SimulatedStart.cpp), which installs the machine
# and then calls ProgramMain.
add_library(korvante_sim_winmain OBJECT ${KORVANTE_WIN32_SOURCE_DIR}/Win32Main.cpp)
target_compile_definitions(korvante_sim_winmain PRIVATE ProgramMain=SimulatedProgramMain _WIN32_WINNT=0x0601 WINVER=0x0601)
target_link_libraries(korvante_sim_winmain PUBLIC korvante_core)
add_executable(KORVANTE-sim WIN32 ${PROJECT_SOURCE_DIR}/src/app/Program.cpp ${PROJECT_SOURCE_DIR}/src/app/SimulatedStart.cpp
                            ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_link_libraries(KORVANTE-sim PRIVATE korvante_sim_winmain korvante_core korvante_sim_storage
                                           korvante_sim_real_timeline korvante_win32_clock korvante_win32_shell
                                           korvante_win32_system korvante_win32_ui korvante_win32_threads)

# --- tests under Wine -----------------------------------------------------------------------------

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)  # GTest::gtest_main

# The portable tests read the peer decodes with the host's header-only JSON library. Its target names
# the host's whole include folder, whose C headers would hide mingw's, so the library's own folder is
# copied into the tree and included from there.
find_package(nlohmann_json 3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
get_target_property(json_include nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
list(GET json_include 0 json_include)
file(COPY ${json_include}/nlohmann DESTINATION ${CMAKE_BINARY_DIR}/json-include)

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

# The update download against the vendor's site on loopback (tests/windows/net): the real network,
# files and shell, the boxes recorded by the simulated user interface. The site (update-site.py, run
# by run-update-test.sh around the test) serves the stub, a program of version 9.9.9.9, in each way a
# download can end.
# The test program is signed with a test vendor's certificate, as a release is with the vendor's;
# beside the unsigned stub are a copy signed by the vendor and one signed by a stranger, both
# certificates issued by a test root the test installs into the prefix's trusted roots.
add_executable(korvante_update_stub WIN32 ${PROJECT_SOURCE_DIR}/tests/windows/net/UpdateStub.cpp
                                          ${PROJECT_SOURCE_DIR}/tests/windows/net/UpdateStub.rc)
add_executable(korvante_update_tests ${PROJECT_SOURCE_DIR}/tests/windows/net/UpdateDownloadTests.cpp
                                     ${PROJECT_SOURCE_DIR}/tests/windows/net/PublishUploadTests.cpp)
target_link_libraries(korvante_update_tests PRIVATE korvante_core korvante_sim_storage korvante_sim_clock
                                                    korvante_win32_shell korvante_win32_system
                                                    korvante_sim_ui korvante_sim_threads GTest::gtest_main)
find_program(KORVANTE_OSSLSIGNCODE osslsigncode)
find_program(KORVANTE_OPENSSL openssl)
if(KORVANTE_OSSLSIGNCODE AND KORVANTE_OPENSSL)
  set(signing ${CMAKE_BINARY_DIR}/signing)
  set(sign bash ${PROJECT_SOURCE_DIR}/tests/windows/net/sign.sh)
  add_custom_command(OUTPUT ${signing}/root.cer
                     COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/net/make-signing-certificates.sh ${signing}
                     DEPENDS ${PROJECT_SOURCE_DIR}/tests/windows/net/make-signing-certificates.sh)
  add_custom_target(korvante_signing_certificates DEPENDS ${signing}/root.cer)
  add_dependencies(korvante_update_stub korvante_signing_certificates)
  add_dependencies(korvante_update_tests korvante_signing_certificates)
  add_custom_command(TARGET korvante_update_stub POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:korvante_update_stub> $<TARGET_FILE_DIR:korvante_update_stub>/korvante_update_stub-vendor.exe
                     COMMAND ${sign} $<TARGET_FILE_DIR:korvante_update_stub>/korvante_update_stub-vendor.exe ${signing} vendor
                     COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:korvante_update_stub> $<TARGET_FILE_DIR:korvante_update_stub>/korvante_update_stub-stranger.exe
                     COMMAND ${sign} $<TARGET_FILE_DIR:korvante_update_stub>/korvante_update_stub-stranger.exe ${signing} stranger)
  add_custom_command(TARGET korvante_update_tests POST_BUILD COMMAND ${sign} $<TARGET_FILE:korvante_update_tests> ${signing} vendor)
  add_test(NAME korvante_update_tests
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/net/run-update-test.sh $<TARGET_FILE:korvante_update_stub>
                   ${signing}/root.cer ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:korvante_update_tests>)
  set_tests_properties(korvante_update_tests PROPERTIES LABELS windows TIMEOUT 300)
else()
  message(WARNING "No openssl or osslsigncode: the update tests, which sign their programs, are left out "
                  "(bash scripts/setup.sh windows installs both)")
endif()

# The built-in simulated machine published through the real WinInet to the native drive database
# server on loopback (tests/windows/net/PublishRoundTripTests.cpp, run by run-roundtrip-test.sh): the
# server's stored block and decoded drives held against the client's. The server is a native program:
# KORVANTE_SERVER_PROGRAM names it (scripts/test.sh passes the native tree's); without it the test is
# skipped. The program's resources give the test the program's version.
set(KORVANTE_SERVER_PROGRAM "" CACHE FILEPATH "The native korvante-server the Windows round-trip test publishes to")
add_executable(korvante_publish_roundtrip_tests ${PROJECT_SOURCE_DIR}/tests/windows/net/PublishRoundTripTests.cpp
                                                ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_link_libraries(korvante_publish_roundtrip_tests PRIVATE korvante_core korvante_dump korvante_sim_storage
                                                               korvante_sim_clock korvante_win32_shell korvante_win32_system
                                                               korvante_sim_ui korvante_sim_threads GTest::gtest_main)
add_test(NAME korvante_publish_roundtrip_tests
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/net/run-roundtrip-test.sh "${KORVANTE_SERVER_PROGRAM}"
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:korvante_publish_roundtrip_tests>)
set_tests_properties(korvante_publish_roundtrip_tests PROPERTIES LABELS windows TIMEOUT 300 SKIP_RETURN_CODE 77)

# The installer on installed copies (tests/windows/net/InstalledCopyTests.cpp): the real registry,
# files, short names, file mappings, processes and task scheduler in a temporary program-files folder,
# the boxes and the licence dialog recorded by the simulated user interface. The test starts copies of
# three builds of one object, which differ only in their version (2.0.1.0, and the older 2.0.0.7711 and
# 2.0.0.7710 beside it), each carrying the licence agreement.
add_library(korvante_installer_objects OBJECT ${PROJECT_SOURCE_DIR}/tests/windows/net/InstalledCopyTests.cpp)
target_link_libraries(korvante_installer_objects PRIVATE korvante_core GTest::gtest)
target_include_directories(korvante_installer_objects PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
function(korvante_installer_build name minor build)
  add_executable(${name} $<TARGET_OBJECTS:korvante_installer_objects> ${PROJECT_SOURCE_DIR}/tests/windows/net/InstalledCopy.rc)
  target_compile_definitions(${name} PRIVATE COPY_MINOR=${minor} COPY_BUILD=${build})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/app)  # the licence text, for the resource
  target_link_libraries(${name} PRIVATE korvante_core korvante_sim_storage korvante_sim_clock korvante_win32_shell
                                        korvante_win32_system korvante_sim_ui korvante_sim_threads GTest::gtest_main)
endfunction()
korvante_installer_build(korvante_installer_tests 1 0)
korvante_installer_build(korvante_installer_old 0 7710)
korvante_installer_build(korvante_installer_licensed 0 7711)
add_dependencies(korvante_installer_tests korvante_installer_old korvante_installer_licensed)
add_test(NAME korvante_installer_tests COMMAND korvante_installer_tests)
set_tests_properties(korvante_installer_tests PROPERTIES LABELS windows TIMEOUT 600)

# --- tests that need a display: labelled gui, run under Xvfb by scripts/test.sh's wine-gui stage ---

# korvante_guicheck starts a program and checks what it shows (tests/windows/gui/GuiCheck.cpp);
# run-gui-test.sh runs it under Wine and takes a screenshot into screenshots/ of the tree meanwhile.
add_executable(korvante_guicheck ${PROJECT_SOURCE_DIR}/tests/windows/gui/GuiCheck.cpp)
target_include_directories(korvante_guicheck PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(korvante_guicheck PRIVATE user32 advapi32 shell32)
# The main window and two tray entries, shown by the real platform layer with the program's resources,
# until the program's own start-up shows them.
add_executable(korvante_mainwindow_show ${PROJECT_SOURCE_DIR}/tests/windows/gui/MainWindowShow.cpp
                                        ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_link_libraries(korvante_mainwindow_show PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                                       korvante_win32_shell korvante_win32_system korvante_win32_ui
                                                       korvante_win32_threads)

# The licence agreement alone, as the installer shows it, with the program's resources.
add_executable(korvante_license_show ${PROJECT_SOURCE_DIR}/tests/windows/gui/LicenseShow.cpp
                                     ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_link_libraries(korvante_license_show PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                                    korvante_win32_shell korvante_win32_system korvante_win32_ui
                                                    korvante_win32_threads)

# Each dialog opened 500 times in one process costs no GDI object after its second opening:
# the program's dialog code with the real platform layer over the built-in simulated machine's drives.
add_executable(korvante_dialog_resources ${PROJECT_SOURCE_DIR}/tests/windows/gui/DialogResources.cpp
                                         ${CMAKE_CURRENT_BINARY_DIR}/KORVANTE.rc)
target_link_libraries(korvante_dialog_resources PRIVATE korvante_core korvante_sim_storage korvante_sim_real_timeline
                                                        korvante_win32_clock korvante_win32_shell korvante_win32_system
                                                        korvante_win32_ui korvante_win32_threads GTest::gtest_main)
korvante_windows_test(korvante_dialog_resources GUI)

# korvante_gui_test(NAME PROGRAM [checker options...]): PROGRAM (a target) checked by korvante_guicheck;
# the screenshot is screenshots/NAME.png.
function(korvante_gui_test name program)
  add_test(NAME ${name}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/gui/run-gui-test.sh ${CMAKE_BINARY_DIR}/screenshots/${name}.png
                   ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:korvante_guicheck> $<TARGET_FILE:${program}> ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS "windows;gui" TIMEOUT 180)
endfunction()
korvante_gui_test(gui_main_window korvante_mainwindow_show --window --tray 2)
# The resident program on simulated drives: one tray icon per drive of the built-in machine (9), or of
# a description file (1); its main window stays hidden until asked for.
korvante_gui_test(gui_sim_program KORVANTE-sim --tray 9 --tip "WDC WD10EZEX-08WN4A0 (D:)" --tip "ST3160815AS"
                  --tip "Samsung SSD 970 EVO Plus 1TB (C: E:)")
# Explorer's loss of the entries and its "TaskbarCreated" put them all back; after a suspend and a timer
# wake the monitoring timer runs again (screenshots gui_explorer_restart-before.png and -after.png).
korvante_gui_test(gui_explorer_restart KORVANTE-sim --tray 9 --explorer-restart)
# Its first-run settings dialog stores the four boxes in the real registry; then the icons come.
korvante_gui_test(gui_settings_dialog KORVANTE-sim --settings --tray 9)
# A left click on a tray icon opens the report, laid out around its text; Esc hides it from the box or a
# button.
korvante_gui_test(gui_sim_report KORVANTE-sim --tray 9 --report --escape)
# The main window's Tuning and Diagnostics commands open their dialogs; closing one shows the report.
korvante_gui_test(gui_tuning_dialog KORVANTE-sim --tray 9 --dialog tuning)
korvante_gui_test(gui_diagnostics_dialog KORVANTE-sim --tray 9 --dialog diagnostics)
# The licence agreement shows the LICENSE resource whole; accepting returns, cancelling or closing ends.
korvante_gui_test(gui_license_accept korvante_license_show --license accept)
korvante_gui_test(gui_license_cancel korvante_license_show --license cancel)
korvante_gui_test(gui_license_close korvante_license_show --license close)
korvante_gui_test(gui_sim_program_machine_file KORVANTE-sim --tray 1 --
                  --machine=${PROJECT_SOURCE_DIR}/tests/fixtures/nvme-synthetic.machine)
# At the first start on a machine whose drive has no stored read results, the performance window
# measures it (for about ten seconds), then the icon comes.
korvante_gui_test(gui_performance_window KORVANTE-sim --performance 1 --tray 1 --
                  --machine=${PROJECT_SOURCE_DIR}/tests/fixtures/performance.machine)
# The real program under Wine, which has no drive it can reach: the diagnostic window, laid out around
# its one-line report.
korvante_gui_test(gui_program_without_drives KORVANTE --diagnostic)
# The windows at 150 and 200 % (the user's LogPixels 144 and 192): each laid out for the density and
# checked as a user would see it, inside the work area with every control whole.
foreach(dpi 144 192)
  korvante_gui_test(gui_settings_dialog_${dpi} KORVANTE-sim --settings --tray 9 --dpi ${dpi})
  korvante_gui_test(gui_sim_report_${dpi} KORVANTE-sim --tray 9 --report --dpi ${dpi})
  korvante_gui_test(gui_tuning_dialog_${dpi} KORVANTE-sim --tray 9 --dialog tuning --dpi ${dpi})
  korvante_gui_test(gui_diagnostics_dialog_${dpi} KORVANTE-sim --tray 9 --dialog diagnostics --dpi ${dpi})
  korvante_gui_test(gui_license_accept_${dpi} korvante_license_show --license accept --dpi ${dpi})
  korvante_gui_test(gui_performance_window_${dpi} KORVANTE-sim --performance 1 --tray 1 --dpi ${dpi} --
                    --machine=${PROJECT_SOURCE_DIR}/tests/fixtures/performance.machine)
endforeach()

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
  target_include_directories(korvante_wintests SYSTEM PRIVATE ${CMAKE_BINARY_DIR}/json-include)
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

  # The report's rich text in a real rich-edit box, which needs a display.
  add_executable(korvante_richedit_tests ${PROJECT_SOURCE_DIR}/tests/windows/gui/RichEditTests.cpp)
  target_link_libraries(korvante_richedit_tests PRIVATE korvante_core korvante_win32_storage korvante_win32_clock
                                                        korvante_win32_shell korvante_win32_system korvante_win32_ui
                                                        korvante_win32_threads GTest::gtest_main)
  target_include_directories(korvante_richedit_tests PRIVATE ${PROJECT_SOURCE_DIR}/src)
  korvante_windows_test(korvante_richedit_tests GUI)
endfunction()

# CMake 3.19 or later (Debian 12 has 3.25).
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korvante_add_windows_tests)
