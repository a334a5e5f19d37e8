#!/usr/bin/env python3
"""Writes the made-up film pair of this folder: an English subtitle in sync with its video (as SubRip, WebVTT and
MicroDVD), a Hebrew one timed for a PAL release of it (25 fps instead of 23.976, started 2.3 s later, with a 95 s
recap the film has not), where each Hebrew cue belongs in the film, another film, and a file of nine cues.
Run from this folder; the output does not change from run to run."""
import random

FILM_FPS = 24000 / 1001

ENGLISH = ["Where were you last night?", "I told you, I was at work.", "<i>Nobody believes that.</i>",
           "- Give me the keys.\n- Not a chance.", "We have to leave before dawn.", "Did you hear that?",
           "It's only the wind.", "[door creaks]", "How long have you known?", "Since the summer of '99.",
           "Don't look at me like that.", "I'm sorry. I really am.", "Call me when you land.",
           "<i>Flight 214 is now boarding.</i>", "Dr. Levi, line two.", "Fifty dollars, take it or leave it."]


def clock(ms, separator=","):
    return "%02d:%02d:%02d%s%03d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, separator, ms % 1000)


def dialogue(rng, cues, start):
    times, at = [], start
    for _ in range(cues):
        at += rng.randint(5000, 30000) if rng.random() < 0.05 else rng.randint(600, 4000)
        times.append(at)
    return times


def resplit(rng, times):
    """One release's line splits: (start, end, the film time it belongs to) for each cue."""
    cues = []
    for i, t in enumerate(times):
        if rng.random() < 0.1:
            continue
        end = times[i + 1] - 120 if i + 1 < len(times) else t + 2500
        if rng.random() < 0.06 and i + 1 < len(times):
            middle = t + (times[i + 1] - t) * 2 // 5
            cues.append((t + rng.randint(-80, 80), middle - 80, t))
            cues.append((middle + rng.randint(-80, 80), end, middle))
        else:
            cues.append((t + rng.randint(-80, 80), end, t))
    return cues


def write_srt(name, cues, lines, newline="\n"):
    with open(name, "w", encoding="utf-8", newline="") as out:
        for n, (start, end, _) in enumerate(cues, 1):
            out.write("%d%s%s --> %s%s%s%s%s" % (n, newline, clock(start), clock(end), newline,
                                                 lines[n % len(lines)].replace("\n", newline), newline, newline))


def main():
    rng = random.Random(17)
    film = dialogue(rng, 700, 41200)
    english = resplit(rng, film)
    write_srt("english_in_sync.srt", english, ENGLISH)
    with open("english_in_sync.vtt", "w", encoding="utf-8", newline="") as out:
        out.write("WEBVTT\n\nNOTE made up for the tests\n\n")
        for start, end, _ in english:
            out.write("%s --> %s\n%s\n\n" % (clock(start, "."), clock(end, "."), ENGLISH[start % len(ENGLISH)]))
    with open("english_in_sync.sub", "w", encoding="utf-8", newline="") as out:
        out.write("{1}{1}23.976\r\n")
        for start, end, _ in english:
            frames = (round(start * FILM_FPS / 1000), round(end * FILM_FPS / 1000))
            out.write("{%d}{%d}%s\r\n" % (frames[0], frames[1], ENGLISH[start % len(ENGLISH)].replace("\n", "|")))

    # The PAL release runs 25/23.976 faster, starts 2.3 s later and has a 95 s recap at 0:20:00 of the film.
    with open("../rtl_fix/hebrew_logical_utf8.srt", encoding="utf-8") as source:
        hebrew_lines = [block.split("\n", 2)[2] for block in source.read().strip().split("\n\n")]
    recap_at, recap = 1200000, 95000

    def release(t):
        video = t + (recap if t >= recap_at else 0) + 2300
        return round(video * FILM_FPS / 25)

    hebrew = [(release(s), release(e), s) for s, e, _ in resplit(rng, film)]
    recap_cues = [(release(recap_at) - round((recap - d) * FILM_FPS / 25), 0, -1) for d in range(3000, recap - 3000, 2700)]
    hebrew = sorted(hebrew + [(s, s + 2000, truth) for s, _, truth in recap_cues])
    write_srt("hebrew_pal_release.srt", hebrew, hebrew_lines, "\r\n")
    with open("hebrew_pal_release.truth", "w") as out:
        out.write("# where each cue of hebrew_pal_release.srt belongs in the film, in ms; -1: in the recap\n")
        out.writelines("%d\n" % truth for _, _, truth in hebrew)

    other = [(t, t + 1500, t) for t in dialogue(random.Random(99), 600, 15000)]
    write_srt("another_film.srt", other, ENGLISH)
    write_srt("nine_cues.srt", english[:9], ENGLISH)


main()
