// Turns the query of a cover or skin request into a path inside the site folder, or into
// the empty text, which the server answers with 404. Query values arrive percent-encoded
// as UTF-8; nginx hands them over undecoded. A decoded value must name one entry of its
// folder: no separator, no NUL or other control character, not "." or "..".

function value(r, key) {
    const raw = r.variables['arg_' + key];
    if (!raw) {
        return '';
    }
    let text;
    try {
        text = decodeURIComponent(raw);
    } catch (e) {
        return '';  // not UTF-8, or a broken escape
    }
    if (text === '.' || text === '..' || /[\/\\\x00-\x1f\x7f]/.test(text)) {
        return '';
    }
    return text;
}

function path_below(folder, r, names) {
    const parts = names.map((key) => value(r, key));
    return parts.every((part) => part !== '') ? '/' + folder + '/' + parts.join('/') : '';
}

function cover_path(r) {
    return path_below('covers', r, ['MainCategory', 'subcategory', 'cover']);
}

// A .pak when the request names one, otherwise a .sig: nothing else lies in skins/.
function skin_path(r) {
    const pak = path_below('skins', r, ['MainCategory', 'subcategory', 'pak_original']);
    if (pak.endsWith('.pak')) {
        return pak;
    }
    const sig = path_below('skins', r, ['MainCategory', 'subcategory', 'sig_original']);
    return sig.endsWith('.sig') ? sig : '';
}

export default {cover_path, skin_path};
