// The catalogue file as JSON, for people who inspect, back up or repair it.
// Every section and field of the stored layout appears, in file order and as
// stored (nothing sorted or merged), so that JSON made from a file writes the
// same file again. Text is UTF-8; text without a UTF-8 form that converts back
// to the same bytes is written as {"hex": "..."}.
#pragma once

#include <string>

#include "catalogue/catalogue_format.h"
#include "catalogue/json.h"

namespace kumoya::catalogue_json {

json::Value ToJson(const catalogue_format::Image& image);
// False with `error` naming the member that is missing or wrong.
bool FromJson(const json::Value& value, catalogue_format::Image& image, std::string& error);

}  // namespace kumoya::catalogue_json
