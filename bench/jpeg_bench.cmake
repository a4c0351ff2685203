# The JPEG benchmark times libjpeg-turbo as its reference in the same run.
find_package(JPEG REQUIRED)
target_link_libraries(jpeg_bench PRIVATE JPEG::JPEG)
