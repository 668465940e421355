#include "recording/file_list_window.h"
