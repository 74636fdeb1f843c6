#pragma once
// The whole engine in one include: every public class of every subsystem.

#include "tarnwick/core/arith.h"
#include "tarnwick/core/currency.h"
#include "tarnwick/core/date.h"
#include "tarnwick/core/default_text.h"
#include "tarnwick/core/error.h"
#include "tarnwick/core/numeric_text.h"
#include "tarnwick/core/text.h"
#include "tarnwick/core/variant.h"
#include "tarnwick/platform/cell.h"
#include "tarnwick/platform/notice.h"
#include "tarnwick/platform/perf_counter.h"
#include "tarnwick/platform/random.h"
#include "tarnwick/shell/report_text.h"
#include "tarnwick/data/file_system.h"
