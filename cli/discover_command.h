// tarnwick-cli discover: the window's rows of every answering device.
#pragma once

#include <vector>

#include "cli/cli_options.h"
#include "config/model_catalogue.h"
#include "listing/row_formats.h"
#include "sdk/device_record.h"

// The window's column headings, built in (res/list_columns.h).
listing::Row DeviceListHeader();

// The rows the window shows for `records` once every camera name has come
// in: recorders and decoders named from `catalogue` at once, cameras after a
// login (when `cameraModels`; else, and when the login or read fails, the
// Model column is empty).
std::vector<listing::Row> DeviceRows(const std::vector<DeviceRecord>& records, const ModelCatalogue& catalogue,
                                     bool cameraModels);

// Runs the command; returns the exit code.
int RunDiscover(const DiscoverOptions& options);
