// What the two stores share when they read a file: cutting it into whole records that
// are made safe to use, saying what was wrong, and keeping the original before a repaired
// store replaces it. Pure apart from KeepOriginalAndSave, which writes.
#pragma once

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/StoreResult.h"

namespace halvern {

template <typename Record>
struct ParsedRecords {
    std::vector<std::unique_ptr<Record>> records;
    std::vector<std::string> problems;  // one line each
};

// Cuts `bytes` into whole records, each made safe by RepairRecord. `noun` names one record
// in the problems ("profile", "macro"); `truncated` says the file went on past what was
// read. A partial record at the end is dropped and said.
template <typename Record>
ParsedRecords<Record> ParseRecords(std::span<const std::byte> bytes, bool truncated, std::string_view noun,
                                   std::string_view tooLarge) {
    ParsedRecords<Record> parsed;
    const std::size_t whole = bytes.size() / Record::kSize;
    parsed.records.reserve(whole);
    for (std::size_t i = 0; i < whole; ++i) {
        auto record = std::make_unique<Record>();
        std::memcpy(record.get(), bytes.data() + i * Record::kSize, Record::kSize);
        if (RepairRecord(*record))
            parsed.problems.push_back(std::string(noun) + " " + std::to_string(i + 1) +
                                      " had an unterminated name or a step count outside 0..160");
        parsed.records.push_back(std::move(record));
    }
    if (truncated) parsed.problems.push_back(std::string(tooLarge));
    else if (bytes.size() % Record::kSize != 0)
        parsed.problems.push_back("the file ends in a partial record of " +
                                  std::to_string(bytes.size() % Record::kSize) + " bytes");
    return parsed;
}

// Who loads a store: the program that owns and writes it, or a reader beside it that
// writes nothing (no default store, no repair saved, no copy kept, no leftovers removed).
enum class StoreAccess { Owner, ReadOnly };

// A store found damaged: the original is kept beside `file` (".bad") and the repaired
// store written by `save`; `result` says what happened. The original stays in place
// when no copy could be kept.
void KeepOriginalAndSave(const std::filesystem::path& file, StoreLoadResult& result,
                         const std::function<std::optional<std::string>()>& save);

}  // namespace halvern
