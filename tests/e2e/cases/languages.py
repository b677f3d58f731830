"""The dialog in the artist's own language: GIMP started with LANGUAGE=de or
LANGUAGE=ja shows the dialog's buttons, labels, pages and tooltips and the
menu entry in that language, and its Create, found by its translated name,
makes the layer.  The expected words come from the built catalogue itself,
so the case checks that the plug-in finds and uses it, whatever the words.

The dialog is worked by this file's own drive: run as a program
(python3 languages.py DRIVE WORKDIR [ARGS...]) it adds it to drive.py's and
runs that driver's main."""

import gettext
import json
import os
import subprocess
import sys
import time

E2E_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TITLE = "Zipstroke Version 0.5.2"

# Texts of the dialog that show wherever they are, by kind of widget; the
# drive reports what it finds of each kind.
BUTTONS = ("Create", "Close", "Reset", "Edit Layer", "Edit Start")
LABELS = ("Type:", "Unit:", "Center:", "Oblateness:", "Radius:", "Pitch:", "On Pitch:",
          "Off Picth:", "Wave NPoint:", "Wave Depth:", "Width:", "In Margin:", "In Length:",
          "Out Margin:", "Out Length:", "Amount", "Rand", "RandSeed", "Antialias:", "Color:")
CHECKS = ("Topmost", "FreeHand")
RADIOS = ("Radiation", "Parallel")
TABS = ("Options", "Preset")
# A tooltip, on the button that creates.
CREATE_TIP = "Draw the lines into a new layer and close the dialog."
MENU_LABEL = "_Zipstroke..."


# ---------------------------------------------------------------------------
# The driver side (runs in its own process beside GIMP)

def driver_main():
    sys.path.insert(0, E2E_DIR)
    import drive
    import ui
    from ui import Role

    kinds = {"buttons": Role.PUSH_BUTTON, "labels": Role.LABEL, "checks": Role.CHECK_BOX,
             "radios": Role.RADIO_BUTTON, "tabs": Role.PAGE_TAB}

    def menu_items(pid):
        """The names of GIMP's menu items (its image window's menus, shown or
        not), from the accessible tree of process pid."""
        names = set()
        for app_win in ui.top_windows(lambda p: p == pid, lambda win: True):
            stack = [(app_win.acc, 0)]
            while stack:
                acc, depth = stack.pop()
                try:
                    role = acc.get_role()
                    if role in (Role.MENU_ITEM, Role.MENU):
                        names.add(acc.get_name() or "")
                    if depth < 25:
                        for i in range(acc.get_child_count()):
                            child = acc.get_child_at_index(i)
                            if child is not None:
                                stack.append((child, depth + 1))
                except Exception:  # a part that went away meanwhile
                    continue
        return names

    def dialog_in_language(out, args):
        """args: the translated Create, the translated menu label (as GIMP
        shows it, without its underscore) and optionally a screenshot's path.
        Reports the dialog's texts by kind, the Create button's tooltip, its
        size and whether GIMP's menus hold the entry, then presses Create."""
        create, menu = args[0], args[1]
        w = ui.open_window(TITLE, timeout=90)
        button = w.find(Role.PUSH_BUTTON, create, timeout=30)
        if len(args) > 2:
            ui.point_at(2, 2)  # no tooltip in the picture
            time.sleep(1.0)  # let the preview finish drawing
            w.screenshot(args[2])
        shown = [x for x in w.widgets() if x.showing()]
        for key, role in kinds.items():
            out[key] = sorted({x.name for x in shown if x.role == role and x.name})
        out["create_tip"] = button.acc.get_description() or ""
        ext = w.acc.get_extents(ui.Atspi.CoordType.SCREEN)
        out["size"] = [ext.width, ext.height]
        gimp_pid = ui.window_pid(ui.x_windows(r".*GIMP.*")[0]) if ui.x_windows(r".*GIMP.*") else None
        items = menu_items(gimp_pid) if gimp_pid else set()
        out["menu_entry"] = menu in items
        out["menu_entries"] = sorted(n for n in items if "zipstroke" in n.lower())
        w.click(create)
        w.wait_gone()

    return drive.run_drives({"dialog-in-language": dialog_in_language})


if __name__ == "__main__":
    sys.exit(driver_main())


# ---------------------------------------------------------------------------
# The cases

from cases import case, gimp_with_own_driver  # noqa: E402
from runner import Fail, Skip, expect  # noqa: E402


# The locale of a user whose session is in each language.
LOCALES = {"de": "de_DE", "ja": "ja_JP"}


def language_env(lang):
    """What GIMP's session holds for a user of lang: the language's locale
    and LANGUAGE.  (GNU gettext ignores LANGUAGE in the C locales, and a
    fresh system has no other: the locale is made once with localedef from
    the locales package, into the e2e folder, and found through LOCPATH.)"""
    name = LOCALES[lang] + ".UTF-8"
    folder = os.path.join(os.path.dirname(os.environ["E2E_WORK"]), "locales")
    made = os.path.join(folder, name)
    if not os.path.isdir(made):
        os.makedirs(folder, exist_ok=True)
        res = subprocess.run(["localedef", "-i", LOCALES[lang], "-f", "UTF-8", made],
                             capture_output=True, text=True, timeout=300)
        if not os.path.isdir(made):
            raise Fail("localedef could not make %s (scripts/deps installs the locales "
                       "package): %s" % (name, (res.stderr or res.stdout).strip()[-300:]))
    return {"LANGUAGE": lang, "LC_ALL": name, "LANG": name, "LOCPATH": folder}


def catalogue(lang):
    """The built catalogue of lang, as the plug-in reads it."""
    folder = os.path.join(os.path.dirname(os.environ["E2E_PLUGIN"]), "po")
    try:
        return gettext.translation("gimp20-zipstroke", folder, languages=[lang])
    except OSError as e:
        raise Fail("no built catalogue for %s in %s (%s)" % (lang, folder, e))


NEW_IMAGE = '''
(define made (e2e-new-image 320 240 RGB))
(define img (car made))
'''


def run_in_language(t, lang, image=NEW_IMAGE, screenshot=None):
    """GIMP in lang (LANGUAGE=lang) showing the image img that the Script-Fu
    image defines; the filter runs on it and the drive dialog-in-language
    reports the dialog (into screenshot too, when given) and presses Create."""
    tr = catalogue(lang).gettext
    # GIMP underlines a label's access key instead of showing its "_".
    shown_menu = tr(MENU_LABEL).replace("_", "")
    args = (tr("Create"), shown_menu) + ((screenshot,) if screenshot else ())
    return gimp_with_own_driver(t, __file__, image + r'''
(gimp-display-new img)
(define before (e2e-layer-ids img))
(e2e-zipstroke RUN-INTERACTIVE img (e2e-active-layer img))
(e2e-put "new-layers" (length (e2e-new-layers img before)))
(gimp-image-clean-all img)
(e2e-put "end")''', "dialog-in-language", args, environ=language_env(lang),
        timeout=240)


def dialog_in_language(t, lang):
    """GIMP in lang: the dialog's texts are the catalogue's, none of the
    English ones it translates is left, and Create (by its translated name)
    makes the layer."""
    tr = catalogue(lang).gettext
    run = run_in_language(t, lang)
    shown_menu = tr(MENU_LABEL).replace("_", "")
    d = run.driver
    t.notes.append("%s: dialog %s x %s" % (lang, d["size"][0], d["size"][1]))
    expected = {"buttons": BUTTONS, "labels": LABELS, "checks": CHECKS, "radios": RADIOS,
                "tabs": TABS}
    missing, english = [], []
    for kind, texts in expected.items():
        for text in texts:
            if tr(text) not in d[kind]:
                missing.append("%s %r" % (kind, tr(text)))
            if tr(text) != text and text in d[kind]:
                english.append("%s %r" % (kind, text))
    expect(not missing, "in %s the dialog lacks %s (its %s: %s)"
           % (lang, ", ".join(missing), missing[0].split()[0] if missing else "",
              d.get(missing[0].split()[0]) if missing else ""))
    expect(not english, "in %s the dialog still shows %s" % (lang, ", ".join(english)))
    expect(d["create_tip"] == tr(CREATE_TIP),
           "in %s the Create button's tooltip reads %r, expected %r"
           % (lang, d["create_tip"], tr(CREATE_TIP)))
    expect(d["menu_entry"], "GIMP's menus have no entry %r in %s (but %s)"
           % (shown_menu, lang, d["menu_entries"]))
    expect(run["new-layers"] == "1",
           "Create, pressed as %r, made %s layers" % (tr("Create"), run["new-layers"]))
    return d


@case("dialog-in-german")
def dialog_in_german(t):
    dialog_in_language(t, "de")


@case("dialog-in-japanese")
def dialog_in_japanese(t):
    dialog_in_language(t, "ja")


def docs_pictures(ctx, docs, sample, compact):
    """README pictures (tests/e2e/docs.py): the dialog on the sample image in
    German and in Japanese, docs/dialog-de.png and docs/dialog-ja.png."""
    for lang in ("de", "ja"):
        shot = os.path.join(ctx.root, "dialog-%s.png" % lang)
        run_in_language(ctx, lang, image='(define img (e2e-load "%s"))\n' % sample,
                        screenshot=shot)
        compact(shot, os.path.join(docs, "dialog-%s.png" % lang))
        print("wrote docs/dialog-%s.png" % lang)
