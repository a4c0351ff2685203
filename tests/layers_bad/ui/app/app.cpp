#include "ui/edit/edit_window.h"
