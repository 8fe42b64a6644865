#include "imagedata.h"

// Interface in place; fitting and the rebuild follow.
void ImageData::fitInto(int) {}
void ImageData::rebuildDisplayImage() {}
