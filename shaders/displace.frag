#version 130
// The picture seen through the three UV layers, blended by their weights.
// A layer holds positions in its own texels with texel i at position i; at
// the picture's size (layerScale 1) those are picture positions, so an
// identity layer reads every texel itself and the picture comes out
// unchanged. Layers smaller than the picture (the window's proxy) are
// turned into picture positions by layerScale, texel centre onto texel
// centre, and the picture is still read at its own resolution.
//
// Between texels the picture is reconstructed with a cubic rather than
// bilinear filtering: bilinear reads at fractional positions act as a blur,
// which shows even where the picture barely moves. Both cubics pass through
// the texels (exact at whole positions), keep detail between them and
// reproduce smooth gradients; their small negative lobes add little ringing.
// The texels are fetched one by one with float weights (hardware filter
// weights are quantised), and read past the edges mirrored, as the picture's
// mirrored repeat would.
//
// By default a Catmull-Rom cubic over 4 x 4 texels. Built with SHARP_FILTER
// defined, a six-point cubic over 6 x 6 texels: it keeps more of the finest
// detail and follows smooth gradients more closely, at about two and a half
// times the cost, so it is what a video export uses and what the window
// shows only when asked.

uniform vec2 size;       // target (and layer) size in texels
uniform vec2 layerScale; // picture texels per layer texel: (1, 1) at the picture's size
uniform float w0;
uniform float w1;
uniform float w2;
uniform sampler2D image; // the picture (RGBA8), read mirrored past its edges
uniform sampler2D uvs0;
uniform sampler2D uvs1;
uniform sampler2D uvs2;

// Positions further out than this are clamped before they are read; far
// beyond any picture size, so the mirrored pattern is unchanged there, and a
// position out at 1e30 still reads a texel instead of weights of inf / inf.
const float farPosition = 1.0e7;

// The position a layer holds, within reach: clamped to farPosition, and one
// that is not a number (from a layer an older advect.frag wrote) read as 0.
vec2 reachable(vec2 position) {
    if (any(isnan(position))) return vec2(0.0);
    return clamp(position, vec2(-farPosition), vec2(farPosition));
}

// Texel indices mirrored like GL_MIRRORED_REPEAT: -1 reads 0, n reads n - 1,
// repeating every 2n. The final clamp keeps even a garbage index (from a
// position that is not a number) inside the picture.
ivec4 mirrored(ivec4 index, int n) {
    ivec4 m = index - (2 * n) * ivec4(floor(vec4(index) / float(2 * n)));
    m += (2 * n - 1 - 2 * m) * ivec4(greaterThanEqual(m, ivec4(n)));
    return clamp(m, ivec4(0), ivec4(n - 1));
}

#ifdef SHARP_FILTER

// Weights of the texels at -2 .. 3 from the sample's texel for the fraction
// f in [0, 1), in two halves: the six-point cubic kernel
//   |d| < 1:  (4|d|^3 - 7|d|^2 + 3) / 3
//   |d| < 2:  (-7|d|^3 + 36|d|^2 - 59|d| + 30) / 12
//   |d| < 3:  (|d|^3 - 8|d|^2 + 21|d| - 18) / 12
// factored at each texel's distance so that at f = 0 they are exactly
// (0, 0, 1) and (0, 0, 0). They sum to one and reproduce cubics.
void sixPointWeights(float f, out vec3 left, out vec3 right) {
    float g = 1.0 - f;
    left = vec3(f * g * g / 12.0, -f * g * (8.0 - 7.0 * f) / 12.0, g * (3.0 + f * (3.0 - 4.0 * f)) / 3.0);
    right = vec3(f * (3.0 + g * (3.0 - 4.0 * g)) / 3.0, -f * g * (8.0 - 7.0 * g) / 12.0, g * f * f / 12.0);
}

// Six texels of row y, at the columns xl then xr, weighted.
vec4 sixPointRow(int y, ivec3 xl, ivec3 xr, vec3 wl, vec3 wr) {
    return texelFetch(image, ivec2(xl.x, y), 0) * wl.x + texelFetch(image, ivec2(xl.y, y), 0) * wl.y
         + texelFetch(image, ivec2(xl.z, y), 0) * wl.z + texelFetch(image, ivec2(xr.x, y), 0) * wr.x
         + texelFetch(image, ivec2(xr.y, y), 0) * wr.y + texelFetch(image, ivec2(xr.z, y), 0) * wr.z;
}

// The picture at a position in texels, from all 36 texels of the kernel.
vec4 pictureAt(vec2 position) {
    ivec2 n = textureSize(image, 0);
    vec2 whole = floor(position);
    vec2 f = position - whole;
    vec3 wxl;
    vec3 wxr;
    vec3 wyl;
    vec3 wyr;
    sixPointWeights(f.x, wxl, wxr);
    sixPointWeights(f.y, wyl, wyr);
    ivec4 xa = mirrored(int(whole.x) + ivec4(-2, -1, 0, 1), n.x);
    ivec4 xb = mirrored(int(whole.x) + ivec4(2, 3, 2, 3), n.x);
    ivec4 ya = mirrored(int(whole.y) + ivec4(-2, -1, 0, 1), n.y);
    ivec4 yb = mirrored(int(whole.y) + ivec4(2, 3, 2, 3), n.y);
    ivec3 xl = xa.xyz;
    ivec3 xr = ivec3(xa.w, xb.xy);
    vec4 sum = sixPointRow(ya.x, xl, xr, wxl, wxr) * wyl.x + sixPointRow(ya.y, xl, xr, wxl, wxr) * wyl.y
             + sixPointRow(ya.z, xl, xr, wxl, wxr) * wyl.z + sixPointRow(ya.w, xl, xr, wxl, wxr) * wyr.x
             + sixPointRow(yb.x, xl, xr, wxl, wxr) * wyr.y + sixPointRow(yb.y, xl, xr, wxl, wxr) * wyr.z;
    // Divided by the weights' float total, so that a flat picture stays
    // exactly flat.
    float totalX = wxl.x + wxl.y + wxl.z + wxr.x + wxr.y + wxr.z;
    float totalY = wyl.x + wyl.y + wyl.z + wyr.x + wyr.y + wyr.z;
    return sum / (totalX * totalY);
}

#else

// Catmull-Rom weights of the texels at -1, 0, 1, 2 from the sample's
// texel, for the fraction f in [0, 1): at f = 0 they are (0, 1, 0, 0).
void catmullRomWeights(float f, out vec4 weights) {
    weights = vec4(f * (-0.5 + f * (1.0 - 0.5 * f)),
                   1.0 + f * f * (-2.5 + 1.5 * f),
                   f * (0.5 + f * (2.0 - 1.5 * f)),
                   f * f * (-0.5 + 0.5 * f));
}

// The picture at a position in texels. Of the 4 x 4 texels of the cubic the
// four corners are left out and the rest renormalised: their weights are
// products of two outer lobes (at most 1/256 each), and twelve fetches
// instead of sixteen keep the pass affordable without a GPU. Still exact at
// whole positions, where the corners weigh nothing.
vec4 pictureAt(vec2 position) {
    ivec2 n = textureSize(image, 0);
    vec2 whole = floor(position);
    vec2 f = position - whole;
    vec4 wx;
    vec4 wy;
    catmullRomWeights(f.x, wx);
    catmullRomWeights(f.y, wy);
    ivec4 xs = mirrored(int(whole.x) + ivec4(-1, 0, 1, 2), n.x);
    ivec4 ys = mirrored(int(whole.y) + ivec4(-1, 0, 1, 2), n.y);

    vec4 top = texelFetch(image, ivec2(xs.y, ys.x), 0) * wx.y + texelFetch(image, ivec2(xs.z, ys.x), 0) * wx.z;
    vec4 upper = texelFetch(image, ivec2(xs.x, ys.y), 0) * wx.x + texelFetch(image, ivec2(xs.y, ys.y), 0) * wx.y
               + texelFetch(image, ivec2(xs.z, ys.y), 0) * wx.z + texelFetch(image, ivec2(xs.w, ys.y), 0) * wx.w;
    vec4 lower = texelFetch(image, ivec2(xs.x, ys.z), 0) * wx.x + texelFetch(image, ivec2(xs.y, ys.z), 0) * wx.y
               + texelFetch(image, ivec2(xs.z, ys.z), 0) * wx.z + texelFetch(image, ivec2(xs.w, ys.z), 0) * wx.w;
    vec4 bottom = texelFetch(image, ivec2(xs.y, ys.w), 0) * wx.y + texelFetch(image, ivec2(xs.z, ys.w), 0) * wx.z;
    vec4 sum = top * wy.x + upper * wy.y + lower * wy.z + bottom * wy.w;
    // The twelve weights' total: everything but the corners.
    float total = (wx.y + wx.z) * (wy.x + wy.w) + wy.y + wy.z;
    return sum / total;
}

#endif

vec4 pictureThrough(sampler2D layer) {
    // The layers are the target's size.
    ivec2 texel = clamp(ivec2(gl_FragCoord.xy), ivec2(0), ivec2(size) - 1);
    // Exact at layerScale 1: a product by one and a sum with zero.
    return pictureAt(reachable(texelFetch(layer, texel, 0).xy * layerScale + (layerScale * 0.5 - 0.5)));
}

void main() {
    gl_FragColor = w0 * pictureThrough(uvs0) + w1 * pictureThrough(uvs1) + w2 * pictureThrough(uvs2);
}
