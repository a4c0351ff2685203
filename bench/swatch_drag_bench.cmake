# The swatch drag benchmark times the colour palette window itself, offscreen.
if(TARGET zudizar_ui)
  target_link_libraries(swatch_drag_bench PRIVATE zudizar_ui)
else()
  set_target_properties(swatch_drag_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
