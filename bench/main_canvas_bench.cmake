# The main canvas's gestures run in the real window (offscreen platform).
if(TARGET zudizar_ui_test_support AND TARGET main_canvas_bench)
  target_link_libraries(main_canvas_bench PRIVATE zudizar_ui_test_support)
elseif(TARGET main_canvas_bench)
  set_target_properties(main_canvas_bench PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
