#include "recording/data_list_window.h"
