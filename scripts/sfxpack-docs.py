#!/usr/bin/env python3
"""Makes sfxpack's manual page and bash completion from its own --help, so that neither can
disagree with the program, and gzips the package's changelog.
Usage: sfxpack-docs.py SFXPACK VERSION CHANGELOG OUTDIR"""
import email.utils
import gzip
import os
import re
import subprocess
import sys


def run_help(sfxpack, *args):
    return subprocess.run([sfxpack] + list(args) + ["--help"], check=True, stdout=subprocess.PIPE,
                          text=True).stdout


def commands(overview):
    """The command names of the overview's "commands:" list."""
    listed = overview.split("\ncommands:\n", 1)[1].split("\n\n", 1)[0]
    return [line.split()[0] for line in listed.splitlines() if line.strip()]


def roff(text):
    """Text kept as written (no filling), hyphens as minus signs so options read as typed."""
    lines = []
    for line in text.rstrip("\n").split("\n"):
        line = line.replace("\\", "\\e").replace("-", "\\-")
        lines.append("\\&" + line if line.startswith((".", "'")) else line)
    return ".nf\n" + "\n".join(lines) + "\n.fi\n"


def manual(sfxpack, version, date):
    overview = run_help(sfxpack)
    page = ['.TH SFXPACK 1 "%s" "loftsfx %s" "User Commands"' % (date, version),
            ".SH NAME",
            "sfxpack \\- make and read payload archives and self\\-extracting installers for "
            "32\\-bit Windows",
            ".SH SYNOPSIS",
            ".B sfxpack",
            ".I COMMAND",
            "[\\fIARGS\\fR]",
            ".br",
            ".B sfxpack",
            "[\\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR]",
            ".SH DESCRIPTION",
            roff(overview).rstrip("\n"),
            ".SH COMMANDS"]
    for name in commands(overview):
        page += [".SS %s" % name, roff(run_help(sfxpack, name)).rstrip("\n")]
    return "\n".join(page) + "\n"


def completion(sfxpack):
    overview = run_help(sfxpack)
    names = commands(overview)
    cases = []
    for name in names:
        # The options each line of the details begins with ("  --method, --order  ...").
        found = set()
        for line in run_help(sfxpack, name).splitlines():
            lead = re.match(r"\s+((?:--?[A-Za-z][\w-]*(?:, |\s|$))+)", line)
            if lead:
                found.update(re.findall(r"--?[A-Za-z][\w-]*", lead.group(1)))
        options = sorted(found | {"--help"})
        cases.append("        %s) options=\"%s\" ;;" % (name, " ".join(options)))
    return """# bash completion for sfxpack, made from its --help
_sfxpack() {
    local cur=${COMP_WORDS[COMP_CWORD]} options
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "%s --help --version" -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
%s
        *) return ;;
    esac
    # Anything but an option is a file or a folder: bash's own completion.
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
}
complete -o default -F _sfxpack sfxpack
""" % (" ".join(names), "\n".join(cases))


def changelog_date(changelog):
    """The date of the newest entry, for the manual page (the same bytes from any build)."""
    with open(changelog, encoding="utf-8") as f:
        for line in f:
            if line.startswith(" -- "):
                when = email.utils.parsedate_to_datetime(line.split(">", 1)[1].strip())
                return when.strftime("%Y-%m-%d")
    sys.exit("%s: no entry with a date" % changelog)


def write_gzip(path, data):
    with open(path, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as f:
            f.write(data)


def main():
    sfxpack, version, changelog, out = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    page = manual(sfxpack, version, changelog_date(changelog))
    write_gzip(os.path.join(out, "sfxpack.1.gz"), page.encode("utf-8"))
    with open(os.path.join(out, "sfxpack"), "w", encoding="utf-8") as f:
        f.write(completion(sfxpack))
    with open(changelog, "rb") as f:
        write_gzip(os.path.join(out, "changelog.gz"), f.read())


if __name__ == "__main__":
    main()
