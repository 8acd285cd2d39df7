# bash completion for kestrin-convert                      -*- shell-script -*-

_kestrin_convert() {
    local cur prev words cword
    _init_completion -s || return

    case $prev in
        -d | --depth)
            COMPREPLY=($(compgen -W '1 2 4 8' -- "$cur"))
            return
            ;;
        -t | --target)
            COMPREPLY=($(compgen -W 'os3 os5-low os5-high combined' -- "$cur"))
            return
            ;;
        -c | --compression)
            COMPREPLY=($(compgen -W 'none scanline best' -- "$cur"))
            return
            ;;
        --fit)
            COMPREPLY=($(compgen -W 'stretch pad crop' -- "$cur"))
            return
            ;;
        --quality)
            COMPREPLY=($(compgen -W 'classic fine' -- "$cur"))
            return
            ;;
        --gravity)
            COMPREPLY=($(compgen -W 'center north south east west northeast northwest southeast southwest
                smart' -- "$cur"))
            return
            ;;
        --crop-box)
            return
            ;;
        --background)
            COMPREPLY=($(compgen -W 'black white gray grey silver red maroon yellow olive lime green aqua teal
                blue navy fuchsia purple' -- "$cur"))
            return
            ;;
        -j | --jobs)
            COMPREPLY=($(compgen -W "$(seq 1 "$(nproc 2>/dev/null || echo 4)")" -- "$cur"))
            return
            ;;
        -n | --name)
            return
            ;;
        --outdir)
            _filedir -d
            return
            ;;
        --preview)
            _filedir png
            return
            ;;
        --density)
            COMPREPLY=($(compgen -W 'low high 72 108 144 216 288' -- "$cur"))
            return
            ;;
        -h | --help | --version)
            return
            ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-n --name -d --depth -t --target --dither --raw --quality
            -c --compression --auto-orient --no-auto-orient --color-management --no-color-management --fit --gravity --crop-box --rotate-to-fill --background -f --force -q --quiet -v --verbose -j --jobs --outdir --preview
            --info --extract --density -h --help --version' -- "$cur"))
        return
    fi

    # The second file name of a single conversion is the database; everything
    # else is a picture. The picture suffixes are those of the program's list
    # of picture types (a test compares them).
    local i arguments=0 batch="" mode=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --outdir)
                batch=1
                ((i++))
                ;;
            --info | --extract) mode=${words[i]} ;;
            -n | --name | -d | --depth | -t | --target | -c | --compression | --fit | --gravity | --crop-box | --background | -j | --jobs | --preview | --density | --quality)
                ((i++)) ;;
            -*) ;;
            *) ((arguments++)) ;;
        esac
    done
    # The reading modes take databases, and --extract then its PNG.
    if [[ $mode == --info || ($mode == --extract && $arguments -eq 0) ]]; then
        _filedir '@(pdb|prc|palm|bin)'
    elif [[ $mode == --extract ]]; then
        _filedir png
    elif [[ -z $batch && $arguments -eq 1 ]]; then
        _filedir pdb
    else
        _filedir '@(bmp|dib|tif|tiff|gif|jpg|jpeg|jpe|jfif|png|ppm|pgm|pbm|pnm|pam|pcx|pct|pict|tga|wmf|emf|webp|heic|heif|avif|eps|epsf)'
    fi
} &&
    complete -F _kestrin_convert kestrin-convert

# ex: filetype=sh
