// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/OutputSource.h"

#include <cmath>

namespace kavro::services {

OutputSource::OutputSource(platform::OutputTap& tap, const OutputReferenceSource& references, QObject* parent)
    : QObject(parent), m_tap(tap), m_references(references) {
    m_tap.onOutputsChanged = [this] { emit changed(); };
}

OutputSource::~OutputSource() {
    m_tap.onOutputsChanged = {};
}

void OutputSource::setChosenOutput(const QString& name) {
    m_chosenName = name;
    emit changed();
}

std::optional<platform::OutputDescription> OutputSource::measuredOutput() const {
    const QList<platform::OutputDescription> outputs = m_tap.outputs();
    if (m_chosenName.isEmpty()) {
        return platform::defaultOutputOf(outputs);
    }
    for (const platform::OutputDescription& output : outputs) {
        if (output.name == m_chosenName) {
            return output;
        }
    }
    return std::nullopt;
}

OutputReference OutputSource::referenceOf(const platform::OutputDescription& output) const {
    return m_references.referenceFor(output.key(), outputDisplayName(output));
}

bool OutputSource::headphonesActive() const {
    const auto output = platform::defaultOutputOf(m_tap.outputs());
    return output && output->headphones;
}

std::optional<double> OutputSource::gainDb(const platform::OutputDescription& output,
                                           const OutputReference& reference) {
    if (output.muted) {
        return std::nullopt;
    }
    if (!output.hardwareVolume) {
        return reference.fullScaleDbSpl;
    }
    if (!std::isfinite(output.volumeDb)) {
        return std::nullopt;
    }
    return reference.fullScaleDbSpl + output.volumeDb;
}

bool OutputSource::measuresOutput(models::MeasureFrom choice, bool headphonesActive) {
    return choice == models::MeasureFrom::output ||
           (choice == models::MeasureFrom::automatic && headphonesActive);
}

std::unique_ptr<platform::CaptureStream> OutputSource::open(int framesPerBuffer,
                                                            platform::CaptureCallback callback) {
    const auto output = measuredOutput();
    return m_tap.openOutputCapture(output ? output->name : QString(), framesPerBuffer, std::move(callback));
}

QString OutputSource::basisText() const {
    const auto output = measuredOutput();
    if (!output) {
        return tr("Output · none");
    }
    const OutputReference reference = referenceOf(*output);
    const QString port =
        output->activePortDescription.isEmpty() ? tr("Output") : output->activePortDescription;
    const QString basis = reference.estimated ? tr("estimated level") : tr("profile level");
    return QStringLiteral("%1 · %2, %3").arg(port, output->description, basis);
}

QString outputDisplayName(const platform::OutputDescription& output) {
    if (output.activePortDescription.isEmpty()) {
        return output.description;
    }
    return QStringLiteral("%1 · %2").arg(output.description, output.activePortDescription);
}

} // namespace kavro::services
