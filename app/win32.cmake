# The Windows program qanocontrol.exe: the program's run with the Win32 window host on the host's
# platform (Win32, Jet through ODBC). A window program (no console) with a wide-character entry point,
# linked statically like every Windows program here.
add_executable(qanocontrol WIN32 ${CMAKE_CURRENT_LIST_DIR}/win32_main.cpp)
target_link_options(qanocontrol PRIVATE -municode)
target_link_libraries(qanocontrol PRIVATE qano_app qano_win32_host qano_host_platform qano_manifest)
qano_version_resource(qanocontrol "qanocontrol: the shop's back-office controller")
