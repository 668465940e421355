#include "recording/file_column.h"
