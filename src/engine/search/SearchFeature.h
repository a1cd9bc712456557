#pragma once

namespace wk::engine::tablefile {
class Feature;
} // namespace wk::engine::tablefile

namespace wk::engine::search {

/// The search index (SearchIndex.h) as a feature of table files (storage/TableFeature.h): its
/// tables, its state and triggers, its building with an import, its check and its rebuild. It is
/// registered before main runs.
const tablefile::Feature& searchIndexFeature();

} // namespace wk::engine::search
