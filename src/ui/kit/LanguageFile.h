// The language file "lan.xml": texts by key.
//
//   <Language name="English">
//     <Text key="warning_title_text">Warning</Text>
//   </Language>
//
// A key the file does not hold reads as the key itself, so a missing text shows up
// on screen instead of leaving a blank, and keys that are their own text ("Sleep")
// need no entry.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

#include "keys/LanguageTexts.h"

namespace halvern::kit {

class LanguageFile final : public LanguageTexts {
public:
    static constexpr qsizetype kMaxFileBytes = 1 << 20;
    static constexpr int kMaxTexts = 20000;

    // Replaces the texts with those of `xml`. On an error (malformed or hostile file)
    // the texts held before stay and the error names file and line.
    std::optional<QString> load(const QByteArray& xml, const QString& fileName);

    // Lays a translation over the texts held (the English source). A malformed or
    // hostile file changes nothing and gives its error; otherwise `missing` receives the
    // source keys the translation lacks, which keep their English text.
    std::optional<QString> overlay(const QByteArray& xml, const QString& fileName, QStringList* missing = nullptr);

    QString text(const QString& key) const;
    bool contains(const QString& key) const { return texts_.contains(key); }
    int size() const { return static_cast<int>(texts_.size()); }
    QStringList keys() const { return texts_.keys(); }

    std::u16string text(std::string_view key) const override;

private:
    QHash<QString, QString> texts_;
};

}  // namespace halvern::kit
