// The window shows who controls the unit whatever order events come in: random sequences of
// events through the real bridge (the TLS test relay, the Q6 simulator on a pseudo-terminal,
// the real widgets offscreen), with the lamp, the caption, the key and the OFF button checked
// after every event. Seeded, so a run repeats; a failing sequence is shrunk and printed,
// shortest first. KELVO_WINDOW_MODEL_SEQUENCES runs more sequences, KELVO_WINDOW_MODEL_SEED
// starts from another seed.

#include "faults/window_state_rig.h"
#include "support/environment.h"

#include <QRegularExpression>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using test::environmentNumber;
using test::LinkEvent;
using test::SequenceSettings;
using test::WindowStateRig;
using Kind = LinkEvent::Kind;

constexpr int defaultSequences = 16;
constexpr int shares = 4;
constexpr int eventsPerSequence = 40;
constexpr int defaultSeed = 20261210;
// Replays a shrink may spend; each costs a sequence on fresh links.
constexpr int shrinkReplays = 300;
// Kinds of wrong state shrunk and shown in one run, at most.
constexpr int maxShrunk = 6;

struct Failure {
    std::vector<LinkEvent> played; // up to and with the event after which the window was wrong
    QStringList violations;        // what it showed wrongly then
};

// The next event, drawn among those the state allows, weighted toward what moves the links on
// and what races: ticks and fades, a remote user linking, the relay's error.
std::optional<LinkEvent> draw(const WindowStateRig &rig, std::mt19937 &random)
{
    std::vector<LinkEvent> events;
    std::vector<int> weights;
    const auto offer = [&](LinkEvent event, int weight) {
        if (rig.applies(event)) {
            events.push_back(event);
            weights.push_back(weight);
        }
    };
    offer({Kind::Connect}, rig.window().serverconnected ? 2 : 6);
    offer({Kind::Off}, 2);
    // In the order of relayCodes(); a remote user linking matters most while none is.
    const int codeWeights[] = {1, rig.window().linked ? 1 : 6, 3, 4, 1, 1, 2, 1, 1, 2};
    for (int i = 0; i < int(test::relayCodes().size()); ++i)
        offer({Kind::Code, i}, codeWeights[i]);
    for (int i = 0; i < int(test::remoteCommands().size()); ++i)
        offer({Kind::Command, i}, 1);
    offer({Kind::RelayDrop}, 1);
    offer({Kind::RelayMode, int(test::RelayMode::Good)}, 2);
    offer({Kind::RelayMode, int(test::RelayMode::Refusing)}, 1);
    offer({Kind::RelayMode, int(test::RelayMode::Unverified)}, 1);
    offer({Kind::RelayMode, int(test::RelayMode::HostNotFound)}, 1);
    offer({Kind::StatusLine}, 2);
    offer({Kind::Silent}, 1);
    offer({Kind::Speak}, 3);
    offer({Kind::HangUp}, 1);
    offer({Kind::Replug}, 6);
    offer({Kind::Tick, 0}, rig.window().serverconnected ? 30 : 10);
    offer({Kind::Tick, 1}, 2);
    offer({Kind::Fade}, 4);
    offer({Kind::Find}, 2);
    offer({Kind::ProbeTimer}, 8);
    if (events.empty())
        return std::nullopt;
    std::discrete_distribution<int> pick(weights.begin(), weights.end());
    LinkEvent event = events.at(pick(random));
    // Now and then something comes while a box of the event waits (when it shows one).
    const bool mayShowABox = event.kind == Kind::Code || event.kind == Kind::Tick || event.kind == Kind::Connect
        || event.kind == Kind::ProbeTimer;
    if (mayShowABox && std::bernoulli_distribution(0.25)(random))
        event.inBox = std::uniform_int_distribution<int>(0, int(test::boxEvents().size()) - 1)(random);
    return event;
}

// A wrong state by its kind: the message without the texts it quotes.
QString kindOf(const QString &violation)
{
    return QString(violation).remove(QRegularExpression(QStringLiteral("\"[^\"]*\"")));
}

bool holdsKind(const QStringList &violations, const QString &kind)
{
    for (const QString &violation : violations)
        if (kindOf(violation) == kind)
            return true;
    return false;
}

// Plays the events on fresh links, skipping those the state does not allow, up to the first
// event after which the window shows a wrong state of that kind. Counts the events played.
std::optional<Failure> replay(const std::vector<LinkEvent> &events, const SequenceSettings &settings,
                              const QString &kind, qint64 &eventsRun)
{
    WindowStateRig rig(settings);
    if (!rig.ready())
        return std::nullopt;
    Failure failure{{}, rig.violations()};
    if (holdsKind(failure.violations, kind))
        return failure;
    for (const LinkEvent &event : events) {
        bool played = false;
        failure.violations = rig.play(event, &played);
        if (!played)
            continue;
        ++eventsRun;
        failure.played.push_back(event);
        if (holdsKind(failure.violations, kind))
            return failure;
    }
    return std::nullopt;
}

// Removes what happens while boxes wait, then ever smaller runs of events, while the rest still
// fails the same way.
Failure shrink(Failure failure, const SequenceSettings &settings, const QString &kind, qint64 &eventsRun)
{
    int replays = 0;
    // First without anything coming while a box waits, where that still fails.
    std::vector<LinkEvent> plain = failure.played;
    for (LinkEvent &event : plain)
        event.inBox = -1;
    ++replays;
    if (std::optional<Failure> simpler = replay(plain, settings, kind, eventsRun))
        failure = *simpler;
    for (std::size_t chunk = std::max<std::size_t>((failure.played.size() + 1) / 2, 1); replays < shrinkReplays;
         chunk = (chunk + 1) / 2) {
        bool removedAny = false;
        for (std::size_t at = 0; at < failure.played.size() && replays < shrinkReplays;) {
            std::vector<LinkEvent> candidate = failure.played;
            candidate.erase(candidate.begin() + qsizetype(at),
                            candidate.begin() + qsizetype(std::min(at + chunk, candidate.size())));
            ++replays;
            if (std::optional<Failure> smaller = replay(candidate, settings, kind, eventsRun)) {
                failure = *smaller;
                removedAny = true;
            } else {
                at += chunk;
            }
        }
        if (chunk == 1 && !removedAny)
            break;
    }
    // Then each box's event alone.
    for (std::size_t at = 0; at < failure.played.size() && replays < shrinkReplays; ++at) {
        if (failure.played[at].inBox < 0)
            continue;
        std::vector<LinkEvent> candidate = failure.played;
        candidate[at].inBox = -1;
        ++replays;
        if (std::optional<Failure> simpler = replay(candidate, settings, kind, eventsRun))
            failure = *simpler;
    }
    return failure;
}

std::string listed(const Failure &failure, const SequenceSettings &settings)
{
    std::string text = "  monitor interval " + std::to_string(settings.monitorIndex) + ", inactivity timeout "
        + (settings.inactivityTimeout ? "0.5 min" : "off") + "\n";
    int number = 0;
    for (const LinkEvent &event : failure.played)
        text += "  " + std::to_string(++number) + ". " + test::describe(event).toStdString() + "\n";
    text += "  then: " + failure.violations.join(QStringLiteral("; ")).toStdString() + "\n";
    return text;
}

struct Found {
    Failure failure;
    QString kind;
    int sequence;
    SequenceSettings settings;
};

// Plays one drawn sequence to its end, noting the first time each kind of wrong state not
// yet known shows.
bool playSequence(int seed, int sequence, QStringList &knownKinds, int reported, std::vector<Found> &found,
                  qint64 &eventsRun)
{
    std::mt19937 random(std::uint32_t(seed + sequence));
    const SequenceSettings settings{std::uniform_int_distribution<int>(0, 2)(random),
                                    std::bernoulli_distribution(0.5)(random)};
    WindowStateRig rig(settings);
    EXPECT_TRUE(rig.ready()) << "the links could not be set up";
    if (!rig.ready())
        return false;
    bool failed = false;
    Failure sofar{{}, rig.violations()};
    for (int n = 0;; ++n) {
        // Kinds that show together are one finding, shrunk by the first that is new.
        QString newKind;
        for (const QString &violation : sofar.violations) {
            failed = true;
            const QString kind = kindOf(violation);
            if (!knownKinds.contains(kind)) {
                knownKinds << kind;
                if (newKind.isEmpty())
                    newKind = kind;
            }
        }
        if (!newKind.isEmpty() && int(found.size()) + reported < maxShrunk)
            found.push_back({sofar, newKind, sequence, settings});
        if (n == eventsPerSequence)
            break;
        const std::optional<LinkEvent> event = draw(rig, random);
        if (!event)
            break;
        sofar.played.push_back(*event);
        sofar.violations = rig.play(*event);
        ++eventsRun;
    }
    return failed;
}

// The sequences are shared out among a few tests, which the test runner can run side by side.
class WindowStateModel : public ::testing::TestWithParam<int> {};

TEST_P(WindowStateModel, LampCaptionKeyAndOffFollowTheLinkWhateverTheOrderOfEvents)
{
    const int sequences = environmentNumber("KELVO_WINDOW_MODEL_SEQUENCES", defaultSequences);
    const int seed = environmentNumber("KELVO_WINDOW_MODEL_SEED", defaultSeed);
    qint64 eventsRun = 0;
    qint64 shrinkEvents = 0;
    int played = 0;
    int failingSequences = 0;
    QStringList knownKinds; // each kind of wrong state is shrunk and shown once
    int reported = 0;
    for (int sequence = GetParam(); sequence < sequences; sequence += shares) {
        std::vector<Found> found;
        ++played;
        if (playSequence(seed, sequence, knownKinds, reported, found, eventsRun))
            ++failingSequences;
        for (const Found &f : found) {
            const Failure shortest = shrink(f.failure, f.settings, f.kind, shrinkEvents);
            ++reported;
            ADD_FAILURE() << "the window shows a wrong state: " << f.kind.toStdString()
                          << "\nShortest failing sequence (" << shortest.played.size() << " events):\n"
                          << listed(shortest, f.settings) << "As first found: sequence " << f.sequence
                          << " of seed " << seed << " (" << f.failure.played.size() << " events):\n"
                          << listed(f.failure, f.settings);
        }
    }
    std::printf("[ model    ] %d of %d sequences of up to %d events from seed %d: %lld events run, %d sequences "
                "failing, %lld events replayed to shrink\n",
                played, sequences, eventsPerSequence, seed, static_cast<long long>(eventsRun), failingSequences,
                static_cast<long long>(shrinkEvents));
}

INSTANTIATE_TEST_SUITE_P(Shares, WindowStateModel, ::testing::Range(0, shares));

} // namespace
