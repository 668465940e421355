#include "recording/grid_writer.h"
