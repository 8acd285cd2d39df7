#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imagelib/limits/work_budget.h"

// What building a conversion from an ICC profile will cost, read from the
// profile's own tag table before lcms2 opens it. lcms2 samples a profile's
// pipeline on a grid over the colour space for every transform it builds,
// and evaluates every stage at every node: a few hundred bytes of tables can
// ask for minutes (a table of fifteen inputs, thousands of stages). The
// check refuses pipelines no camera or editor writes and spends the rest on
// `budget`: the work of each stage (of a segmented curve, a walk through all
// its segments) x the evaluations a conversion makes, fine quality's
// transform into light included, and what reading the curves costs.
//
// Returns why the profile is not to be used, in the words of the progress
// log's "colour profile ignored: <why>"; nothing when it may go to lcms2.
// `channels` is the number of channels of the picture's colour model, which
// the profile must describe.
std::optional<std::string> CheckColorProfileCost(std::span<const std::uint8_t> profile, int channels,
                                                 WorkBudget& budget);
