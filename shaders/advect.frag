#version 130
// Advances a UV layer by dt seconds along the flow, semi-Lagrangian: the new
// mapping at texel position x is the old mapping at x - flow(x) * dt. So the
// picture seen through the layer moves by +flow * dt, as the preview particles
// do. Positions are in texels with texel i at position i.
//
// The old mapping is interpolated by hand in full float precision: hardware
// filtering quantises the sub-texel weights (often to 1/256), which would
// stall slow flows whose step per frame is below that and skew the speed of
// the rest.
//
// Past the layer's edge the mapping continues with the edge texel's
// displacement (mapping minus position), so the layer carries positions
// beyond the picture (which the displace pass reads mirrored) instead of
// smearing the edge column.
//
// A layer only ever holds finite positions: a flow texel that is not a
// finite number moves nothing, and a step that would leave the float range
// restarts the texel from its own position, so that no layer, and no frame
// drawn through it, turns into NaN (black) for good.

uniform vec2 size;       // the target's size in texels (same as the layer's)
uniform float dt;        // seconds
uniform sampler2D image; // the UV layer being advected (RG32F)
uniform sampler2D flow;  // picture texels per second (RG32F)

// The mapping at integer texel position `corner`, continued past the edges.
// Inside the layer it is the stored value itself, so a step of 0 copies the
// layer exactly.
vec2 mappingAt(ivec2 corner, ivec2 last) {
    ivec2 inside = clamp(corner, ivec2(0), last);
    return texelFetch(image, inside, 0).xy + vec2(corner - inside);
}

void main() {
    ivec2 texel = ivec2(gl_FragCoord.xy);
    vec2 position = gl_FragCoord.xy - 0.5;

    ivec2 flowLast = textureSize(flow, 0) - 1;
    vec2 velocity = texelFetch(flow, clamp(texel, ivec2(0), flowLast), 0).xy;
    if (any(isnan(velocity)) || any(isinf(velocity))) velocity = vec2(0.0);
    vec2 source = position - velocity * dt;

    // Clamp in float before converting, so far-off or non-finite sources
    // still give an index next to the layer.
    ivec2 last = textureSize(image, 0) - 1;
    vec2 cornerPosition = clamp(floor(source), vec2(-1.0), vec2(last + 1));
    vec2 f = clamp(source - cornerPosition, 0.0, 1.0);
    ivec2 corner = ivec2(cornerPosition);
    vec2 m00 = mappingAt(corner, last);
    vec2 m10 = mappingAt(corner + ivec2(1, 0), last);
    vec2 m01 = mappingAt(corner + ivec2(0, 1), last);
    vec2 m11 = mappingAt(corner + ivec2(1, 1), last);
    vec2 mapping = mix(mix(m00, m10, f.x), mix(m01, m11, f.x), f.y);

    // A source beyond the clamped corners continues with the edge displacement.
    vec2 advected = mapping + (source - cornerPosition - f);
    if (any(isnan(advected)) || any(isinf(advected))) advected = position;
    gl_FragColor = vec4(advected, 0.0, 1.0);
}
