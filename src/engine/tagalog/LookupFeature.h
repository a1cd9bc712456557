#pragma once

namespace wk::engine::tablefile {
class Feature;
} // namespace wk::engine::tablefile

namespace wk::engine::tagalog {

/// The entry of `wk_table_info` that says whether the lookup keys are in step, and its value then.
inline constexpr const char* kStateKey = "lookup_index";
inline constexpr const char* kInStep = "1";

/// The learner's lookup keys (LookupIndex.h) as a feature of table files
/// (storage/TableFeature.h): made with the import of a dictionary table, checked, made anew. It is
/// registered before main runs.
const tablefile::Feature& lookupKeysFeature();

} // namespace wk::engine::tagalog
