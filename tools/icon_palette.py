"""Palette reduction shared by the icon scripts (make_icon.py, make_icons.py)."""


def merge_rarest(counts, limit):
    """Merges the rarest colour into its nearest one until at most limit
    colours are left; counts (colour -> pixel count) is updated in place.
    Returns each original colour's surviving colour. Ties are broken by
    value, so the result is the same on every run."""
    target = {c: c for c in counts}
    while len(counts) > limit:
        rarest = min(counts, key=lambda c: (counts[c], c))
        rest = [c for c in counts if c != rarest]
        nearest = min(rest, key=lambda c: (sum((c[k] - rarest[k]) ** 2 for k in range(3)), c))
        counts[nearest] += counts.pop(rarest)
        for c, t in target.items():
            if t == rarest:
                target[c] = nearest
    return target
