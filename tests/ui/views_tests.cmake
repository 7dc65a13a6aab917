# Views and dialogs, tested in a private X server (Xvfb) that the test programs start themselves.
if(SORVIMEND_GUI AND TARGET sv_ui_views)
  file(GLOB views_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/views_*.cpp ${CMAKE_CURRENT_LIST_DIR}/dialogs_*.cpp)
  sv_test(views_tests SOURCES ${views_tests} DEPS sv_ui_views LABELS gui TIMEOUT 300)
endif()
