# Finds OpenCV's core and imgproc modules alone. Debian ships OpenCV's CMake
# configuration only with libopencv-dev, which pulls in every module and its
# dependencies (VTK, GDAL, HDF5, MPI...), so the two modules we link are found
# by their headers and libraries instead.
#
# Defines the imported targets OpenCV::core and OpenCV::imgproc.
find_path(OpenCVCore_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4)
find_library(OpenCVCore_core_LIBRARY opencv_core)
find_library(OpenCVCore_imgproc_LIBRARY opencv_imgproc)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(OpenCVCore REQUIRED_VARS
  OpenCVCore_INCLUDE_DIR OpenCVCore_core_LIBRARY OpenCVCore_imgproc_LIBRARY)

if(OpenCVCore_FOUND AND NOT TARGET OpenCV::core)
  add_library(OpenCV::core UNKNOWN IMPORTED)
  set_target_properties(OpenCV::core PROPERTIES
    IMPORTED_LOCATION "${OpenCVCore_core_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${OpenCVCore_INCLUDE_DIR}")
  add_library(OpenCV::imgproc UNKNOWN IMPORTED)
  set_target_properties(OpenCV::imgproc PROPERTIES
    IMPORTED_LOCATION "${OpenCVCore_imgproc_LIBRARY}"
    INTERFACE_LINK_LIBRARIES OpenCV::core)
endif()
mark_as_advanced(OpenCVCore_INCLUDE_DIR OpenCVCore_core_LIBRARY OpenCVCore_imgproc_LIBRARY)
