// An engine file that reaches up into the show: the layer check must refuse it.
#include "show/show_screen.h"
