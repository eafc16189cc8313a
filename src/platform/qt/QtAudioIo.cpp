// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtAudioIo.h"

namespace kavro::platform {

QString describeAudioError(QAudio::Error error) {
    switch (error) {
    case QAudio::OpenError:
        return QStringLiteral("the device could not be opened");
    case QAudio::IOError:
        return QStringLiteral("reading from or writing to the device failed");
    case QAudio::UnderrunError:
        return QStringLiteral("the device ran out of data");
    case QAudio::FatalError:
        return QStringLiteral("the device failed");
    case QAudio::NoError:
        break;
    }
    return QStringLiteral("unknown error");
}

} // namespace kavro::platform
