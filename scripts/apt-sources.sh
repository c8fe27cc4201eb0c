# Sourced by the scripts that fetch Debian sources for the Windows build.
# apt_sources_setup DIR writes, under DIR, a source list of the script's own
# made from the machine's own apt configuration: every `deb` entry, in the
# one-line or the deb822 format, is taken as a `deb-src` entry, so whatever
# archive or mirror serves this machine's packages serves their sources too.
# The machine's configuration stays as it is. It then fills the array
# apt_options with what apt-get needs to use that list and runs
# `apt-get update` with it.

apt_sources_setup() {
    local dir=$1 list parts file
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/sources.list.d"
    rm -f "$dir"/sources.list.d/*
    eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
    : > "$dir/sources.list"
    for file in "$list" "${parts%/}"/*.list; do
        [[ -f $file ]] || continue
        # "deb [options] uri suite components" -> "deb-src ..."
        sed -n -E 's/^[[:space:]]*deb([[:space:]]+)/deb-src\1/p' "$file" >> "$dir/sources.list"
    done
    for file in "${parts%/}"/*.sources; do
        [[ -f $file ]] || continue
        apt_sources_deb822_to_src < "$file" > "$dir/sources.list.d/$(basename "$file")"
    done
    if ! grep -qs '^deb-src' "$dir/sources.list" \
        && ! grep -qsi '^Types:' "$dir"/sources.list.d/*.sources; then
        echo "No 'deb' entries in this machine's apt configuration ($list, $parts)" >&2
        return 1
    fi
    apt_options=(
        -o Dir::Etc::SourceList="$dir/sources.list"
        -o Dir::Etc::SourceParts="$dir/sources.list.d"
        -o Dir::State::Lists="$dir/lists" -o Dir::Cache="$dir/cache"
        -o APT::Sandbox::User=root)
    apt-get "${apt_options[@]}" -qq update
}

# Reads deb822 stanzas and writes those whose Types name `deb` (and that are
# not disabled) with Types: deb-src; every other field is kept.
apt_sources_deb822_to_src() {
    awk '
        function flush() {
            if (stanza != "" && types && enabled) printf "%s\n", stanza
            stanza = ""; types = 0; enabled = 1
        }
        BEGIN { enabled = 1 }
        /^[[:space:]]*$/ { flush(); next }
        /^#/ { next }
        tolower($1) == "types:" {
            for (i = 2; i <= NF; i++) if ($i == "deb") types = 1
            stanza = stanza "Types: deb-src\n"; next
        }
        tolower($1) == "enabled:" { if (tolower($2) == "no") enabled = 0 }
        { stanza = stanza $0 "\n" }
        END { flush() }'
}
