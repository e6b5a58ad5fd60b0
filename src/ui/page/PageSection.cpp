#include "ui/page/PageSection.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPage)

namespace halvern {

PageEdit PageEdit::Of(ApplyTiming timing) {
    PageEdit edit;
    edit.keep = Keep::Soon;
    switch (timing) {
        case ApplyTiming::AtOnce: edit.send = Send::AtOnce; break;
        case ApplyTiming::AfterEffect: edit.send = Send::AfterEffect; break;
        case ApplyTiming::AfterSlider: edit.send = Send::AfterSlider; break;
        case ApplyTiming::OnRequest: edit.send = Send::WithNextApply; break;
    }
    return edit;
}

QString SectionBinder::Numbered(std::string_view format, int number) {
    QString name = QString::fromLatin1(format.data(), static_cast<qsizetype>(format.size()));
    return name.replace(u"%d"_qs, QString::number(number));
}

void SectionBinder::missing(const QString& name) const {
    qCWarning(lcPage).noquote() << "the skin has no control" << name;
}

}  // namespace halvern
