// Drives the program's lighting server with a published client library, one step per run:
//   node client.cjs PORT list                    controllers as JSON
//   node client.cjs PORT leds INDEX              a pattern of direct colours on every LED
//   node client.cjs PORT mode INDEX NAME RRGGBB  a mode of the device's own, with its colour
//   node client.cjs PORT stream INDEX SECONDS HZ all LEDs, HZ frames a second (for the bench)
// The library is found in $SDK_CLIENT_MODULES (the test build's folder scripts/install-deps.sh
// fills). Prints one JSON line; exits 1 with the error on stderr.
const path = require("path");
const { Client } = require(path.join(process.env.SDK_CLIENT_MODULES || "node_modules", "openrgb-sdk"));

const [port, step, ...args] = process.argv.slice(2);

// The colour of LED i in the test pattern: distinct for every LED of a keyboard.
function pattern(i) {
    return { red: (i * 7 + 1) & 0xff, green: (i * 13 + 2) & 0xff, blue: (255 - i) & 0xff };
}

async function main() {
    const client = new Client("nk7x test", Number(port), "127.0.0.1");
    await client.connect(3000);
    try {
        if (step === "list") {
            const devices = await client.getAllControllerData();
            console.log(JSON.stringify({ protocol: client.protocolVersion, devices }));
        } else if (step === "leds") {
            const index = Number(args[0]);
            const device = await client.getControllerData(index);
            client.updateLeds(index, device.leds.map((_, i) => pattern(i)));
            // The answer to a request after it shows the server has read the colours.
            const after = await client.getControllerData(index);
            console.log(JSON.stringify({ activeMode: after.activeMode, colors: after.colors }));
        } else if (step === "mode") {
            const [index, name, hex] = [Number(args[0]), args[1], args[2]];
            const colour = { red: parseInt(hex.slice(0, 2), 16), green: parseInt(hex.slice(2, 4), 16),
                             blue: parseInt(hex.slice(4, 6), 16) };
            await client.updateMode(index, { name, colors: [colour] });
            const after = await client.getControllerData(index);
            console.log(JSON.stringify({ activeMode: after.activeMode, mode: after.modes[after.activeMode] }));
        } else if (step === "stream") {
            const [index, seconds, hz] = [Number(args[0]), Number(args[1]), Number(args[2])];
            const device = await client.getControllerData(index);
            const count = device.leds.length;
            const end = Date.now() + seconds * 1000;
            let frames = 0;
            await new Promise((resolve) => {
                const timer = setInterval(() => {
                    if (Date.now() >= end) {
                        clearInterval(timer);
                        resolve();
                        return;
                    }
                    // LED 0 carries the frame number, so the device's side can tell frames apart.
                    const colours = Array.from({ length: count }, (_, i) => pattern(i + frames));
                    colours[0] = { red: frames & 0xff, green: (frames >> 8) & 0xff, blue: 0x5a };
                    client.updateLeds(index, colours);
                    frames++;
                }, 1000 / hz);
            });
            await client.getControllerCount();
            console.log(JSON.stringify({ frames }));
        } else {
            throw new Error(`unknown step ${step}`);
        }
    } finally {
        client.disconnect();
    }
}

main().catch((e) => {
    console.error(String(e && e.stack ? e.stack : e));
    process.exit(1);
});
