# The pick and text benchmarks use the toolkit's image conversion and fonts.
if(TARGET zudizar_ui)
  target_link_libraries(sub_pick_bench PRIVATE zudizar_ui)
endif()
