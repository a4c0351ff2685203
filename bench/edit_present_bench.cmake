# The conversion to screen pixels needs the Qt platform layer.
if(TARGET zudizar_ui)
  target_link_libraries(edit_present_bench PRIVATE zudizar_ui)
else()
  set_target_properties(edit_present_bench PROPERTIES EXCLUDE_FROM_ALL TRUE)
endif()
