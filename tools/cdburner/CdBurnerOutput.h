#pragma once
// The program reads the writer's output with the same parser.
#include "output/CdBurnerOutput.h"
