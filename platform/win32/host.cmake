# The window host on Windows: the program's window with plain Win32 controls.
add_library(qano_win32_host STATIC ${CMAKE_CURRENT_LIST_DIR}/win32_host.cpp)
target_include_directories(qano_win32_host PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qano_win32_host PUBLIC qano_platform qano_event_dispatch
                      PRIVATE qano_pictures user32 gdi32)
