#include "kestrom_fixture.h"
