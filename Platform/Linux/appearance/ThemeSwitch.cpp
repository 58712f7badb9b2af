#include "appearance/ThemeSwitch.h"

#include <memory>
#include <optional>

#include "appearance/ThemeMemory.h"
#include "appearance/ThemePairing.h"
#include "common/Log.h"

namespace dusk::backend {
namespace {

using Failure = SideTracker::Failure;

// "the GTK theme", "the GTK theme and the xfwm4 theme", "the A, the B and the C"
std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (index > 0) text += index + 1 == names.size() ? " and " : ", ";
        text += "the " + names[index];
    }
    return text;
}

struct Switch : std::enable_shared_from_this<Switch> {
    ThemeSwitch job;
    SideTracker::Landed landed;
    std::vector<std::string> current;
    std::vector<ThemeChoice> choices;
    Failure failure;
    std::size_t waiting = 0;
    // The settings written on their own that have landed, to undo.
    std::vector<std::size_t> landedAlone;

    Switch(ThemeSwitch switchJob, SideTracker::Landed whenLanded)
        : job(std::move(switchJob)), landed(std::move(whenLanded)) {}

    const std::vector<ThemeSetting>& settings() const { return job.settings; }

    void start() {
        current.resize(settings().size());
        waiting = settings().size();
        if (waiting == 0) return choose();
        for (std::size_t index = 0; index < settings().size(); ++index) {
            settings()[index].read([self = shared_from_this(), index](const std::string& value, const Failure& why) {
                self->current[index] = value;
                if (why && !self->failure) self->failure = why;
                if (--self->waiting == 0) self->choose();
            });
        }
    }

    void choose() {
        if (failure) return landed(failure);
        const auto pairs = themes::handWritten();
        for (std::size_t index = 0; index < settings().size(); ++index) {
            const ThemeSetting& setting = settings()[index];
            const ThemeSituation situation{current[index], themes::remembered(setting.id), pairs};
            choices.push_back(setting.choose ? setting.choose(situation, job.dark)
                                             : chooseTheme(situation, job.dark, setting.installed));
        }
        std::vector<std::size_t> alone;
        for (std::size_t index = 0; index < settings().size(); ++index) {
            if (settings()[index].write && choices[index].kind == ThemeChoice::Kind::Switch) alone.push_back(index);
        }
        waiting = alone.size();
        if (waiting == 0) return writeTogether();
        for (const std::size_t index : alone) {
            settings()[index].write(choices[index].theme, [self = shared_from_this(), index](const Failure& why) {
                if (why && !self->failure) self->failure = why;
                if (!why) self->landedAlone.push_back(index);
                if (--self->waiting == 0) self->failure ? self->undo() : self->writeTogether();
            });
        }
    }

    void writeTogether() {
        GSettingsValues values = job.alongside;
        for (std::size_t index = 0; index < settings().size(); ++index) {
            if (settings()[index].key && choices[index].kind == ThemeChoice::Kind::Switch) {
                values.emplace_back(*settings()[index].key, choices[index].theme);
            }
        }
        job.writeTogether(values, [self = shared_from_this()](const Failure& why) {
            if (why) {
                self->failure = why;
                return self->undo();
            }
            self->finish();
        });
    }

    // What landed apart goes back to what the user had: nothing is left
    // half-switched. Undoing is not waited for; a failure to undo is logged.
    void undo() {
        std::vector<std::string> undone;
        for (const std::size_t index : landedAlone) {
            const ThemeSetting& setting = settings()[index];
            setting.write(current[index], [what = setting.what](const Failure& why) {
                if (why) logError("the " + what + " could not be put back: " + *why);
            });
            undone.push_back(setting.what);
        }
        if (undone.empty()) return landed(failure);
        landed(*failure + " (" + listed(undone) +
               (undone.size() == 1 ? " went back to what it was)" : " went back to what they were)"));
    }

    void finish() {
        for (std::size_t index = 0; index < settings().size(); ++index) {
            const ThemeChoice& choice = choices[index];
            if (choice.kind == ThemeChoice::Kind::NoSibling)
                themes::tellNoSibling(settings()[index].what, choice.theme, job.dark);
            if (choice.kind == ThemeChoice::Kind::Switch && job.dark) {
                themes::remember(settings()[index].id, {current[index], choice.theme});
            }
        }
        landed(std::nullopt);
    }
};

}  // namespace

void switchThemes(ThemeSwitch job, SideTracker::Landed landed) {
    std::make_shared<Switch>(std::move(job), std::move(landed))->start();
}

}  // namespace dusk::backend
