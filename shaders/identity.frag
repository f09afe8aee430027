#version 130
// Resets a UV layer: texel (x, y) holds the picture position (x, y), the
// corner of its own texel, as the start-up identity grid does.

void main() {
    // Fragment centres sit at x + 0.5; the subtraction is exact.
    gl_FragColor = vec4(gl_FragCoord.xy - 0.5, 0.0, 1.0);
}
